// A recording stand-in for the main window and helpers to run the wx loop.
#pragma once

#include <string>
#include <vector>

#include <wx/frame.h>

#include "WxTestLoop.h"
#include "orvane/ui/ViewerHost.h"

class RecordingHost : public ViewerHost {
public:
    RecordingHost();
    ~RecordingHost() override;

    wxWindow* CommandTarget() override { return main; }
    CControlDlg* ControlPanel() override { return panel; }
    CDispDlg* Osd() override { return osd; }
    CTVControl* Keypad() override { return keypad; }
    int CardModel() const override { return model; }
    bool UseSnapCap() const override { return snapCap; }
    bool IsScanRunning() const override { return scanning; }
    bool IsTunerInputSelected() const override { return tuner; }
    bool IsSingleDigit() const override { return single; }
    void SetSingleDigit(bool s) override { single = s; }
    bool IsSoundOn() const override { return soundOn; }
    bool IsTvSound() const override { return tvSound; }
    void SetTvSound(bool t) override { tvSound = t; }
    void SetKeypadShown(bool s) override { keypadShown = s; }
    void HoldLineInput() override { ++holds; }
    void SelectChannelNumber(int n) override { selected.push_back(n); }
    void SetCardTvSound(int on) override { cardCalls.push_back(on ? "tv1" : "tv0"); }
    void SetCardLineSound(int on) override { cardCalls.push_back(on ? "ad1" : "ad0"); }
    void RestoreFromTray() override { ++restores; }

    wxFrame* main = nullptr;
    CControlDlg* panel = nullptr;
    CDispDlg* osd = nullptr;
    CTVControl* keypad = nullptr;
    std::vector<int> commands;       // wxEVT_MENU ids that reached the main window
    std::vector<int> selected;
    std::vector<std::string> cardCalls;
    int model = 0, holds = 0, restores = 0;
    bool snapCap = false, scanning = false, tuner = true, single = false, soundOn = true,
         tvSound = true, keypadShown = true;
};
