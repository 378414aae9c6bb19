// What the viewer's floating windows (control panel, on-screen display,
// keypad, tray icon) need from the main window beyond plain commands.
// Plain commands are sent as wxEVT_MENU events with the command id (see
// Resource.h) to CommandTarget(); everything else goes through this interface.
// The main window implements it; tests implement it with a recorder.
#pragma once

class wxWindow;
class CControlDlg;
class CDispDlg;
class CTVControl;

class ViewerHost {
public:
    virtual ~ViewerHost() = default;

    // The main window: receives forwarded commands, is moved by dragging the
    // on-screen display, gives the on-screen display its geometry.
    virtual wxWindow* CommandTarget() = 0;

    // The viewer's single instances (may be null while not yet created).
    virtual CControlDlg* ControlPanel() = 0;
    virtual CDispDlg* Osd() = 0;
    virtual CTVControl* Keypad() = 0;

    // Run-time values.
    virtual int CardModel() const = 0;              // card model code; 1 changes the OSD key colour
    virtual bool UseSnapCap() const = 0;            // "usesnapcap"
    virtual bool IsScanRunning() const = 0;         // channel scan thread active
    virtual bool IsTunerInputSelected() const = 0;  // "vid_source" names the tuner input
    virtual bool IsSingleDigit() const = 0;         // "blsingle"
    virtual void SetSingleDigit(bool single) = 0;
    virtual bool IsSoundOn() const = 0;             // "VNul"
    virtual bool IsTvSound() const = 0;             // "TVSound": 1 tuner sound, 0 line input
    virtual void SetTvSound(bool tuner) = 0;
    virtual void SetKeypadShown(bool shown) = 0;    // "CtrShow"

    // Actions.
    // Mute the mixer's line input and set its countdown to 2 ticks.
    virtual void HoldLineInput() = 0;
    // Go to channel number `number` of the active table: tuner-input test,
    // sound off, count test, the below-47750 guard, tune, show on the OSD and
    // panel, previous index, sound on. The keypad clears its own digit entry.
    virtual void SelectChannelNumber(int number) = 0;
    // The card's sound switch: SetTVSoundData(0, on) and SetADSoundData(0, on).
    virtual void SetCardTvSound(int on) = 0;
    virtual void SetCardLineSound(int on) = 0;
    // Tray icon double click: bring the viewer back from the tray.
    virtual void RestoreFromTray() = 0;
    // The notification area went away while the viewer was hidden in it.
    virtual void TrayAreaLost() {}
};
