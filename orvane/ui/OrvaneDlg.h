// The viewer's main window: a captionless, sizable window whose client area
// shows the live picture inside a 5-pixel animated border. It answers every
// viewer command (context menu, control panel, tray menu, remote control,
// keyboard and mouse), keeps the window modes, relays the capture library's
// notifications and runs the half-second timer.
//
// The window is split over several files:
//   OrvaneDlg.cpp          creation, layout, painting, border, mouse, messages
//   OrvaneDlgStartup.cpp   initialisation steps, close and final close
//   OrvaneDlgCommands.cpp  command table, context menu, enabling, timer
//   OrvaneDlgModes.cpp     full screen, always on top, 4:3 lock, sizes
//   OrvaneDlgChannels.cpp  tuning, channel scan, remote control
//   OrvaneDlgCapture.cpp   recording and snapshot commands (1010, 1011, 1012)
//   OrvaneDlgDialogs.cpp   favourite channel (32774) and overlay (32791) dialogs
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/longlong.h>
#include <wx/timer.h>

#include "orvane/core/CaptureCommands.h"
#include "orvane/core/Channels.h"
#include "orvane/core/RemoteDispatch.h"
#include "orvane/core/Scan.h"
#include "orvane/core/Sizing.h"
#include "orvane/core/Volume.h"
#include "orvane/core/Workers.h"
#include "common/HelpWindow.h"
#include "orvane/ui/Placement.h"
#include "orvane/ui/ViewerHost.h"
#include "platform/Events.h"
#include "platform/Window.h"

class wxMenu;
class wxEventLoopBase;
class CSystemTray;

// Message number of a command sent through the platform layer's window
// messaging (wParam = command id), as other programs and tests send them.
inline constexpr unsigned kWmCommand = 0x0111;
inline constexpr unsigned kWmClose = 0x0010;

class COrvaneDlg : public wxFrame,
                   public ViewerHost,
                   public orvane::TuneHost,
                   public orvane::SoundHost,
                   public orvane::ViewerActions,
                   public orvane::CaptureHost {
public:
    COrvaneDlg();
    ~COrvaneDlg() override;

    // Main window initialisation; false after the menu or panel failures.
    bool OnInitDialog();
    // Showing keeps the window where it was placed (see PlacementKeeper).
    bool Show(bool show = true) override;
    // Runs the window's own loop until EndModal (the window may stay hidden
    // in the tray while it runs). Returns the end code.
    int DoModal();
    void EndModal(int code);
    bool Ended() const { return m_ended; }
    int EndCode() const { return m_endCode; }

    // Close operation (hide to / restore from the tray, or final close) and
    // final close operation.
    void CloseOperation();
    void FinalClose();
    // The session ends (a signal): the final close without questions.
    void EndSession();

    // Runs a command as if chosen from the menu.
    void SendCommand(int id);
    // Window messages the viewer defines (0x901, 0x5831..0x5834, commands).
    plat::LRESULT OnWindowMessage(plat::UINT msg, plat::WPARAM wp, plat::LPARAM lp);

    plat::HWND Handle() const { return m_hwnd; }
    wxWindow* VideoWindow() const { return m_video; }
    wxMenu* ContextMenu() const { return m_pop; }
    void UpdateChannelsMenu();  // the "Channels" submenu enabled on the tuner input only
    CSystemTray* Tray() const { return m_tray.get(); }
    int LineCountdown() const { return m_lineCountdown; }
    bool IsFullScreenMode() const { return m_fullScreen; }
    bool IsOnTop() const;
    // The window rectangle in screen coordinates (the stored rectangle).
    orvane::Rect WindowRect() const;
    bool IsMenuChecked(int command) const;
    wxString MenuText(int command) const;
    bool IsMenuEnabled(int command) const;
    bool ChannelCommandEnabled(int command) const;
    // On the tuner input with no channels, says where the scan is.
    void HintScanIfNoChannels();
    const std::vector<unsigned char>& BorderStrip() const { return m_strip; }
    bool BorderForwardDirection() const { return m_borderForward; }

    // ViewerHost
    wxWindow* CommandTarget() override { return this; }
    CControlDlg* ControlPanel() override { return m_panel; }
    CDispDlg* Osd() override { return m_osd; }
    CTVControl* Keypad() override { return m_keypad; }
    int CardModel() const override;
    bool UseSnapCap() const override;
    bool IsScanRunning() const override { return m_scanRunning.load() != 0; }
    bool IsTunerInputSelected() const override;
    bool IsSingleDigit() const override;
    void SetSingleDigit(bool single) override;
    bool IsSoundOn() const override;
    bool IsTvSound() const override;
    void SetTvSound(bool tuner) override;
    void SetKeypadShown(bool shown) override;
    void HoldLineInput() override;
    void SelectChannelNumber(int number) override;
    void SetCardTvSound(int on) override;
    void SetCardLineSound(int on) override;
    void RestoreFromTray() override;
    void TrayAreaLost() override;

    // orvane::TuneHost
    void SetFrequency(int kHz) override;
    void SetTunerSound(int on) override;
    void ShowNumber(const std::string& text) override;
    void SetDisplayText(const std::string& text) override;
    void ClearKeypadEntry() override;

    // orvane::SoundHost
    bool SetMasterMute(bool mute) override;
    bool SetMasterVolume(int value) override;
    void BeforeVolumeStep(orvane::RunTime& rt) override;
    void SetExternalSound(int on) override;
    void SetMuteButton(bool toggled) override;
    void ShowBar(const char* label, int value, int max) override;
    void Pause(int ms) override;

    // orvane::ViewerActions (remote keys)
    void Run(orvane::RemoteAction action, int arg) override;
    int ColourValue(int property) const override;
    void SetColourValue(int property, int value) override;

    // One remote code as the remote thread sends it (message 0x5833).
    void OnRemoteKey(int code);
    // One tick of timer 5.
    void OnTimerTick();
    // Applies the sizing rules for a drag of `edge` to the proposed rectangle.
    orvane::Rect SizingRect(orvane::Rect proposed, orvane::Edge edge);
    // Starts the channel scan thread (after the question was answered Yes).
    void StartScan();
    void OfferFirstScan();
    void ComeForward();
    // Waits for a running scan thread to end (tests and shutdown).
    void JoinScan();

    // Questions and messages of the window; tests answer them through the hook.
    using AskFn = std::function<int(const wxString& text, const wxString& caption, long style)>;
    static AskFn& MessageBoxHook();
    int Ask(const wxString& text, const wxString& caption, long style);

    // ---- Recording and snapshot commands (OrvaneDlgCapture.cpp) ----------
    // Commands 1010 (record), 1011 (save as) and 1012 (snapshot) come here.
    void OnCaptureCommand(int id, bool askName = true);
    // Whether the three commands are live.
    bool CaptureCommandsEnabled() const;
    // Whether a recording runs: stream commands are ignored meanwhile.
    bool IsRecording() const;
    // The recording part of timer 5 (timed start and length limit).
    void OnCaptureTimer();
    // False for the menu items a running recording grays (1004, 1002).
    bool CaptureMenuAllowed(int id) const;
    orvane::CaptureCommands& Capture();

    // ---- System Settings (OrvaneDlgSettings.cpp) --------------------------
    // Command 1002: the modal System Settings dialog, unless it is open.
    void ConfigurationCommand();
    bool IsConfigurationOpen() const { return m_configOpen; }
    // Command 32774: the favourite channel dialog, on the tuner input with
    // channels stored; the remote is not polled while it is open.
    void ChannelListCommand();
    // Command 32791: the overlay dialog; afterwards the stored logo, time and
    // date go to the library again, whichever way the dialog closed.
    void OverlayCommand();
    // Sends the stored logo file, logo, time and date to the library.
    void ApplyOverlay();

    // orvane::CaptureHost
    void CaptureMessage(const std::string& text, const std::string& caption) override;
    void CaptureShowText(const std::string& text) override;
    std::string CaptureAskSavePath(const orvane::SaveDialogSetup& setup) override;
    void CaptureUi(const orvane::UiChange& change) override;
    void CaptureRestoreSound() override;
    // ----------------------------------------------------------------------

private:
    // OrvaneDlg.cpp
    void CreateVideoWindow();
    void BindEvents();
    void LayoutVideo();
    void OnPaint(wxPaintEvent&);
    void PaintBorder(wxDC& dc);
    void OnSize(wxSizeEvent& e);
    void OnMove(wxMoveEvent& e);
    void OnLeftDown(wxMouseEvent& e);
    void OnMotion(wxMouseEvent& e);
    void OnLeftUp(wxMouseEvent& e);
    void OnRightDown(wxMouseEvent& e);
    void OnRightDClick(wxMouseEvent& e);
    void OnCharHook(wxKeyEvent& e);
    void OnCloseWindow(wxCloseEvent& e);
    bool EdgeAt(const wxPoint& client, orvane::Edge* edge) const;
    void PlaceVideo();

    // OrvaneDlgStartup.cpp
    void CreateTray();
    void CreateEvents();
    void WireLibrary();
    void ReconnectDevice();
    void ApplyCaptureFormat();
    void ApplyColourControls();
    bool CreateMenu();
    bool CreatePanel();
    void CreateFloatingWindows();
    void ApplyInputAndSound();
    void StartVisibleOrHidden(bool hidden);
    void ShowFromTray();
    void HideToTray();
    void HideMainWindow(bool trayShown);
    void RestoreSound();
    void SoundBySource();
    void ShowLineSoundButton();

    // OrvaneDlgCommands.cpp
    void BindCommands();
    void OnCommand(wxCommandEvent& e);
    bool RunCommand(int id);
    void OnUpdateCommand(wxUpdateUIEvent& e);
    void TogglePanel();
    void TogglePause();
    void SetStreamState(int state);
    void ToggleKeypad();
    void OnLibraryNotify(plat::WPARAM wp, plat::LPARAM lp);
    void OnBrowserClosed(bool videoBrowser);
    void OpenImageBrowser();
    void OpenVideoBrowser();
    void ShowHelp();
    void SetMenuText(int command, const wxString& text);
    void CheckMenu(int command, bool check);
    void EnableMenu(int command, bool enable);
    void SetButtonToggled(int command, bool toggled);
    void SetButtonTip(int command, const wxString& tip);
    void ShowButton(int command, bool show);
    void EnableButton(int command, bool enable);
    void ShowAbout();
    void PropertyDialog(int id);
    void InputLabelStep();

    // OrvaneDlgModes.cpp
    void ToggleFullScreen();
    void ToggleOnTop();
    void Toggle43();
    void NormalSize();
    void ForceSize(int w, int h);
    void Resize(int w, int h);
    void AfterSizeChange();
    void PlaceStoredWindow();
    void PlaceStoredPanel();

    // OrvaneDlgChannels.cpp
    void ScanCommand();
    void ScanThread();
    void FinishScanOnUi(bool stopped);
    void SetScanControls(bool enable);
    void StartRemote();
    void StopRemote();
    void NextInput();

    plat::HWND m_hwnd = nullptr;
    wxWindow* m_video = nullptr;     // child the library draws the picture into
    wxMenu* m_menu = nullptr;        // menu 191 (owns m_pop)
    wxMenu* m_pop = nullptr;         // its first popup, the context menu
    CControlDlg* m_panel = nullptr;
    CDispDlg* m_osd = nullptr;
    CTVControl* m_keypad = nullptr;
    std::unique_ptr<CSystemTray> m_tray;
    wxTimer m_timer;

    wxSize m_videoSize;                  // last size given to the library's window
    std::vector<unsigned char> m_strip;  // border colour strip, RGB
    bool m_borderForward = true;
    orvane::Rect m_lastSizing;           // last rectangle seen while sizing

    // Moving and resizing by mouse.
    enum class Drag { Idle, Move, Size } m_drag = Drag::Idle;
    orvane::Edge m_dragEdge = orvane::Edge::BottomRight;
    wxPoint m_dragStart;                 // screen position at button down
    orvane::Rect m_dragRect;             // window rectangle at button down

    wxLongLong m_menuCancelled = 0;      // when the context menu was last dismissed
    static constexpr int kEscAfterMenuMs = 1000;
    bool m_fullScreen = false;
    orvane::Rect m_restoreRect;          // rectangle before full screen
    wxRect m_fullScreenRect;             // the screen the picture covers in full screen
    PlacementKeeper m_keeper;
    bool m_onTop = false;
    bool m_initialised = false;
    int m_trayIcon = 128;                // icon 128, or 306 while recording
    bool m_ended = false;
    wxDialog* m_question = nullptr;  // the message box on show, closed when the session ends
    int m_endCode = 0;
    bool m_inLoop = false;
    wxEventLoopBase* m_loop = nullptr;
    bool m_configOpen = false;
    bool m_imageBrowserOpen = false;  // hidden for the image browser
    bool m_volumeRead = false;        // "Volume" taken from the output once
    bool m_videoBrowserOpen = false;  // hidden for the video browser
    std::unique_ptr<CHelpWindow> m_help;
    int m_lineCountdown = 0;
    bool m_streamFaultShown = false;  // one message per stopped preview
    std::string m_dialogStartFolder;

    // Scan and remote threads.
    plat::HANDLE m_evContinue = nullptr, m_evStop = nullptr, m_evStopRemote = nullptr;
    std::atomic<int> m_scanRunning{0};
    std::atomic<int> m_remoteFlag{1};
    std::thread m_scanThread;
    orvane::ScanBackup m_scanBackup{};
    orvane::RemoteThread m_remote;
    orvane::RemoteDispatcher m_dispatch;

    // Recording and snapshot commands, and the menu states they set.
    std::unique_ptr<orvane::CaptureCommands> m_capture;
    std::map<int, bool> m_captureMenus;
};
