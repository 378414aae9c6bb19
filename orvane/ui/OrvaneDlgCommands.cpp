// Main window: the command table, the context menu's texts, checks and
// enabling, the control panel's button states, library notifications,
// browser messages, timer 5 and the remote keys' actions.
#include "orvane/ui/OrvaneDlg.h"

#include <thread>

#include <wx/menu.h>
#include <wx/msgdlg.h>

#include "orvane/core/Mixer.h"
#include "orvane/core/Settings.h"
#include "orvane/ui/AboutDlg.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/Menus.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/SYSTEMTRAY.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/dispDlg.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "strova/Strova.h"
#include "calvex/Calvex.h"

using orvane::Rt;

namespace {

bool IsCaptureCommand(int id) { return id == IDC_RECORD || id == IDC_SAVE_IMAGE_AS || id == IDC_SNAPSHOT; }

bool IsPropertyCommand(int id) { return id >= ID_PROP_CAPTURE_DEVICE && id <= ID_PROP_INPUT_SELECT; }

// Menu items grayed while a channel scan runs.
bool GrayedDuringScan(int id) {
    return id == ID_FULLSCREEN || id == IDC_RECORD || id == IDC_SHOW_CONTROL_PANEL || id == IDC_CONFIGURATION ||
           IsPropertyCommand(id);
}

}  // namespace

void COrvaneDlg::BindCommands() {
    Bind(wxEVT_MENU, &COrvaneDlg::OnCommand, this);
    Bind(wxEVT_UPDATE_UI, &COrvaneDlg::OnUpdateCommand, this);
}

void COrvaneDlg::OnCommand(wxCommandEvent& e) {
    if (!RunCommand(CommandFromMenuItem(e.GetId()))) e.Skip();
}

void COrvaneDlg::SendCommand(int id) { RunCommand(id); }

bool COrvaneDlg::IsMenuEnabled(int id) const {
    if (IsCaptureCommand(id) && !CaptureCommandsEnabled()) return false;
    if (IsScanRunning() && GrayedDuringScan(id)) return false;
    if (IsPropertyCommand(id) && IsRecording()) return false;  // the pages would stop the recording
    return ChannelCommandEnabled(id);
}

// The channel commands act on the tuner input only; stepping and the keypad
// need a channel table, and none of them but the scan's stop runs during a scan.
bool COrvaneDlg::ChannelCommandEnabled(int id) const {
    switch (id) {
    case IDC_SCAN_CHANNELS: return IsTunerInputSelected();
    case IDC_CHANNEL_UP: case IDC_CHANNEL_DOWN: case ID_KEYPAD_TOGGLE: case ID_CHANNEL_LIST:
        return !IsScanRunning() && IsTunerInputSelected() && Rt().totalTv > 0;
    default: return true;
    }
}

// The "Channels" submenu itself follows the scan's rule: off the tuner
// input none of its commands act.
void COrvaneDlg::UpdateChannelsMenu() {
    wxMenu* channels = nullptr;
    if (!m_pop || !m_pop->FindItem(MenuItemId(IDC_SCAN_CHANNELS), &channels) || channels == m_pop) return;
    for (wxMenuItem* item : m_pop->GetMenuItems())
        if (item->GetSubMenu() == channels) item->Enable(IsTunerInputSelected());
}

void COrvaneDlg::OnUpdateCommand(wxUpdateUIEvent& e) {
    const int id = CommandFromMenuItem(e.GetId());
    e.Enable(IsMenuEnabled(id) && CaptureMenuAllowed(id));
    if (id == ID_KEYPAD_TOGGLE) e.Check(m_keypad && m_keypad->IsShown());
    if (id == IDC_SCAN_CHANNELS) e.SetText(IsScanRunning() ? "&Stop Scanning" : "&Scan Channels");
}

bool COrvaneDlg::RunCommand(int id) {
    orvane::RunTime& rt = Rt();
    if (m_osd) m_osd->ClearMessage();  // the hint stays until the user gives a command
    if (!IsMenuEnabled(id) && IsCaptureCommand(id)) return true;
    switch (id) {
    case IDC_SHOW_CONTROL_PANEL: TogglePanel(); break;
    case IDC_CONFIGURATION: ConfigurationCommand(); break;
    case IDC_PAUSE: TogglePause(); break;
    case IDC_RECORD: case IDC_SAVE_IMAGE_AS: case IDC_SNAPSHOT: OnCaptureCommand(id); break;
    case IDC_SCAN_CHANNELS: ScanCommand(); break;
    case ID_CHANNEL_LIST: ChannelListCommand(); break;
    case ID_OVERLAY_SETTINGS: OverlayCommand(); break;
    case IDC_CHANNEL_DOWN: orvane::PreviousChannel(rt, *this); break;
    case IDC_CHANNEL_UP: orvane::NextChannel(rt, *this); break;
    case ID_CLOSE: CloseOperation(); break;
    case ID_APP_ABOUT: ShowAbout(); break;
    case IDC_OPEN_IMAGES: OpenImageBrowser(); break;
    case IDC_OPEN_VIDEOS: OpenVideoBrowser(); break;
    case IDC_HELP: ShowHelp(); break;
    case ID_MINIMIZE: Iconize(true); break;
    case ID_NORMAL_SIZE: NormalSize(); break;
    case ID_ALWAYS_ON_TOP: ToggleOnTop(); break;
    case ID_VOLUME_UP: orvane::StepVolume(rt, *this, true); break;
    case ID_FULLSCREEN: ToggleFullScreen(); break;
    case ID_VOLUME_DOWN: orvane::StepVolume(rt, *this, false); break;
    case ID_PROP_CAPTURE_DEVICE: case ID_PROP_DISPLAY_FORMAT: case ID_PROP_RECORD_FORMAT:
    case ID_PROP_INPUT_SELECT: PropertyDialog(id); break;
    case ID_FORCE_RATIO_43: Toggle43(); break;
    case ID_STREAM_RUN: SetStreamState(STROVA_STATE_RUNNING); break;
    case ID_STREAM_PAUSE: SetStreamState(STROVA_STATE_PAUSED); break;
    case ID_STREAM_STOP: SetStreamState(STROVA_STATE_STOPPED); break;
    case ID_KEYPAD_TOGGLE: ToggleKeypad(); break;
    case ID_MUTE: orvane::ToggleMute(rt, *this); break;
    case ID_FORCE_SIZE_320: ForceSize(320, 240); break;
    case ID_FORCE_SIZE_640: ForceSize(640, 480); break;
    case ID_TRAY_EXIT: FinalClose(); break;
    case ID_TRAY_RUN:
        CloseOperation();
        if (m_tray) m_tray->RemoveTrayIcon();
        break;
    default: return false;
    }
    return true;
}

// ---------------------------------------------------------------- menu and buttons

void COrvaneDlg::SetMenuText(int command, const wxString& text) {
    if (!m_pop) return;
    if (wxMenuItem* item = m_pop->FindItem(MenuItemId(command))) item->SetItemLabel(text);
}

void COrvaneDlg::CheckMenu(int command, bool check) {
    if (!m_pop) return;
    if (wxMenuItem* item = m_pop->FindItem(MenuItemId(command)); item && item->IsCheckable())
        item->Check(check);
}

void COrvaneDlg::EnableMenu(int command, bool enable) {
    if (!m_pop) return;
    if (wxMenuItem* item = m_pop->FindItem(MenuItemId(command))) item->Enable(enable);
}

bool COrvaneDlg::IsMenuChecked(int command) const {
    const wxMenuItem* item = m_pop ? m_pop->FindItem(MenuItemId(command)) : nullptr;
    return item && item->IsCheckable() && item->IsChecked();
}

wxString COrvaneDlg::MenuText(int command) const {
    const wxMenuItem* item = m_pop ? m_pop->FindItem(MenuItemId(command)) : nullptr;
    return item ? item->GetItemLabel() : wxString();
}

void COrvaneDlg::SetButtonToggled(int command, bool toggled) {
    if (CBmpButton* b = m_panel ? m_panel->GetButton(command) : nullptr) b->SetToggled(toggled);
}

void COrvaneDlg::SetButtonTip(int command, const wxString& tip) {
    if (CBmpButton* b = m_panel ? m_panel->GetButton(command) : nullptr) b->SetToolTip(tip);
}

void COrvaneDlg::ShowButton(int command, bool show) {
    if (CBmpButton* b = m_panel ? m_panel->GetButton(command) : nullptr) b->Show(show);
}

void COrvaneDlg::EnableButton(int command, bool enable) {
    if (CBmpButton* b = m_panel ? m_panel->GetButton(command) : nullptr)
        b->Enable(enable && IsMenuEnabled(command));
}

// ---------------------------------------------------------------- commands

void COrvaneDlg::TogglePanel() {
    if (!m_panel) return;
    if (m_panel->IsShown()) {
        m_panel->Hide();
        SetMenuText(IDC_SHOW_CONTROL_PANEL, "S&how Control Panel");
        if (m_keypad) m_keypad->Hide();
        return;
    }
    if (Rt().hidden) return;
    m_panel->Show();
    SetMenuText(IDC_SHOW_CONTROL_PANEL, "&Hide Control Panel");
    if (m_keypad) m_keypad->Show(Rt().ctrShow != 0);
}

void COrvaneDlg::TogglePause() {
    if (IsRecording()) return;
    int state = 0;
    if (Strova_GetStreamStatus(Rt().deviceIndex, &state) < 0) return;
    const bool running = state == STROVA_STATE_RUNNING;
    RunCommand(running ? ID_STREAM_PAUSE : ID_STREAM_RUN);
    SetButtonTip(IDC_PAUSE, running ? "Play" : "Pause");
}

void COrvaneDlg::SetStreamState(int state) {
    if (IsRecording()) return;
    const bool ok = Strova_SetStreamStatus(Rt().deviceIndex, state) >= 0;
    if (state == STROVA_STATE_RUNNING && ok) m_streamFaultShown = false;
    if (state == STROVA_STATE_RUNNING) SetButtonToggled(IDC_PAUSE, false);
    if (state == STROVA_STATE_PAUSED) SetButtonToggled(IDC_PAUSE, true);
}

void COrvaneDlg::ToggleKeypad() {
    if (!m_keypad || !IsTunerInputSelected() || Rt().totalTv == 0) return;
    Rt().ctrShow = m_keypad->IsShown() ? 0 : 1;
    m_keypad->Show(Rt().ctrShow != 0);
}

void COrvaneDlg::ShowAbout() {
    CAboutDlg about(this);
    about.ShowModal();
}

// Input label step: the sound key is pressed from the opposite flag so the
// card's sound follows the input.
void COrvaneDlg::InputLabelStep() {
    orvane::RunTime& rt = Rt();
    static const struct { int before; const char* label; } kInputs[] = {
        {1, "S-Video"}, {0, "Video1-In"}, {1, "Video2-In"}};
    if (rt.vidSource < 0 || rt.vidSource > 2) return;
    rt.tvSound = kInputs[rt.vidSource].before;
    if (m_keypad) m_keypad->PressKey(KEYPAD_SOUND_KEY);
    SetDisplayText(kInputs[rt.vidSource].label);
    HintScanIfNoChannels();
}

// On the tuner input with no channels stored, says where the scan is.
void COrvaneDlg::HintScanIfNoChannels() {
    if (m_osd && IsTunerInputSelected() && Rt().totalTv == 0 && !IsScanRunning())
        m_osd->ShowMessage(kNoChannelsHint);
}

// The library's property dialogs, with the remote paused while one is open.
void COrvaneDlg::PropertyDialog(int id) {
    if (IsRecording()) return;
    orvane::RunTime& rt = Rt();
    const int dev = rt.deviceIndex;
    m_remoteFlag = 0;
    if (id == ID_PROP_CAPTURE_DEVICE) {
        Strova_DisplayPropertyDialogs(dev, 0, m_hwnd, "Video Capture Device");
        int32_t v[6] = {};
        int* targets[] = {&rt.vidBrightness, &rt.vidContrast, &rt.vidHue, &rt.vidSaturation};
        for (int p = 0; p < 4; ++p)
            if (Strova_GetVideoPropertyValue(dev, p, v) >= 0) *targets[p] = v[0];
    } else if (id == ID_PROP_DISPLAY_FORMAT || id == ID_PROP_RECORD_FORMAT) {
        const bool display = id == ID_PROP_DISPLAY_FORMAT;
        const int pin = display ? STROVA_PIN_PREVIEW : STROVA_PIN_CAPTURE;
        int hasPreview = 0;
        Strova_IsPreviewPinExisted(dev, &hasPreview);
        // The display page changes the format on the running preview (the
        // library stops and restarts the stream for that moment only), so the
        // picture stays on while the page is open.
        const bool reconnect = !display && !hasPreview;
        VideoInfo before{};
        if (Strova_GetVideoInfo(dev, &before, pin) >= 0) {
            if (reconnect) Strova_DisconnectPin(dev, pin);
            Strova_DisplayPropertyDialogs(dev, display ? 2 : 1, m_hwnd,
                                          display ? "Display Format" : "Recording Format");
            if (reconnect) Strova_ConnectPin(dev, pin);
            SetButtonToggled(IDC_PAUSE, false);
            VideoInfo after{};
            if (display && Strova_GetVideoInfo(dev, &after, pin) >= 0 &&
                (after.bmi.width != before.bmi.width || after.bmi.height != before.bmi.height))
                RunCommand(ID_NORMAL_SIZE);
        }
        InputLabelStep();
    } else if (id == ID_PROP_INPUT_SELECT) {
        Strova_DisplayPropertyDialogs(dev, 3, m_hwnd, "Chunnel Selection");
        int32_t input = rt.vidSource;
        if (Strova_WhatInPinRouteToOutPin(dev, 0, &input) >= 0) rt.vidSource = input;
        InputLabelStep();
    }
    m_remoteFlag = 1;
}

// ---------------------------------------------------------------- messages

// Notifications of this window's device: the card index is in the high word.
void COrvaneDlg::OnLibraryNotify(plat::WPARAM, plat::LPARAM lp) {
    if (((lp >> 16) & 0xFFFF) != Rt().deviceIndex) return;
    const int code = static_cast<int>(lp & 0xFFFF);
    if (code == NOTIFY_GRAPH_EVENT) {
        Strova_ManageNotifyMessage(Rt().deviceIndex);
        return;
    }
    const char* text = code == NOTIFY_DISK_FULL
                           ? "Recording video stopped,because there is no enough disk space."
                       : code == NOTIFY_ABORTED ? "Recording video stopped,because an exception occured."
                                                : nullptr;
    if (!text) return;
    if (Capture().DeviceCapturing()) {
        Capture().OnLibraryNotify(code);  // the message, then the stop
        return;
    }
    // The preview itself stopped (the device went away or stalled): say so
    // once; the window stays usable, the stream is shown paused, and Play
    // starts it again (the library opens the device anew).
    if (code == NOTIFY_ABORTED && !m_streamFaultShown) {
        m_streamFaultShown = true;
        SetStreamState(STROVA_STATE_PAUSED);
        SetButtonTip(IDC_PAUSE, "Play");
        Ask("The video device stopped sending pictures.", "Error", wxOK | wxICON_ERROR);
    }
}

// Starts the image browser beside the viewer's own program and steps aside
// until it ends: it sends 0x901, or its process is seen to end.
void COrvaneDlg::OpenImageBrowser() {
    if (IsRecording()) return;
    const plat::HWND self = m_hwnd;
    const bool started = plat::StartProcess(plat::ProgramDir() + "lumora", {},
                                            [self] { plat::PostMessage(self, WM_BROWSER_EXITED, 0, 0); });
    if (!started) {
        Ask("Calling Lumora module failed!", "Error", wxOK | wxICON_ERROR);
        return;
    }
    m_imageBrowserOpen = true;
    Hide();
    if (m_panel) m_panel->Hide();
    StopRemote();
    orvane::SetLineInputMute(true);
}

// Opens the video browser on the recordings folder and steps aside, tuner
// sound off, until the browser's window is gone (it posts 0x5831 then,
// however it closes). A browser that does not open changes nothing.
void COrvaneDlg::OpenVideoBrowser() {
    if (IsRecording() || m_videoBrowserOpen) return;
    if (!Calvex_Open(m_hwnd, WM_VIDEO_BROWSER_CLOSED, Rt().recordPath)) return;
    m_videoBrowserOpen = true;
    Hide();
    if (m_keypad) m_keypad->Hide();
    if (m_panel) m_panel->Hide();
    SetTVSoundData(0, 0);
    StopRemote();
    orvane::SetLineInputMute(true);
}

// The manual in its own window, independent of the viewer's state.
void COrvaneDlg::ShowHelp() {
    if (!m_help) m_help = std::make_unique<CHelpWindow>();
    m_help->KeepAbove(m_onTop);
    if (!m_help->Show())
        Ask("The help file " + wxString::FromUTF8(HelpBookPath()) + " could not be opened.",
            kHelpTitle, wxOK | wxICON_ERROR);
}

void COrvaneDlg::OnBrowserClosed(bool videoBrowser) {
    if (!videoBrowser) m_imageBrowserOpen = false;
    if (videoBrowser) m_videoBrowserOpen = false;
    Rt().hidden = false;
    Show();
    if (videoBrowser && m_keypad) m_keypad->Show(Rt().ctrShow != 0);
    if (m_panel) m_panel->Show();
    if (videoBrowser) RestoreSound();
    orvane::SetLineInputMute(false);
    StartRemote();
}

// ---------------------------------------------------------------- timer

void COrvaneDlg::OnTimerTick() {
    OnCaptureTimer();
    if (orvane::LineInputTick(m_lineCountdown)) orvane::SetLineInputMute(false);
    // The border colours travel a step on every tick.
    if (IsShown() && !IsIconized()) {
        const wxSize c = GetClientSize();
        const int b = orvane::kBorder;
        RefreshRect(wxRect(0, 0, c.x, b), false);
        RefreshRect(wxRect(0, c.y - b, c.x, b), false);
        RefreshRect(wxRect(0, 0, b, c.y), false);
        RefreshRect(wxRect(c.x - b, 0, b, c.y), false);
    }
}

// ---------------------------------------------------------------- sound and display

void COrvaneDlg::SetFrequency(int kHz) { SetTvChannelFreg(0, kHz); }
void COrvaneDlg::SetTunerSound(int on) { SetTVSoundData(0, on); }
void COrvaneDlg::SetExternalSound(int on) { SetADSoundData(0, on); }
bool COrvaneDlg::SetMasterMute(bool mute) { return orvane::SetMasterMute(mute); }
bool COrvaneDlg::SetMasterVolume(int value) { return orvane::SetMasterVolume(value); }

// The first step of a run starts from what the desktop plays at, not from
// the value stored at the last exit, so it is one step.
void COrvaneDlg::BeforeVolumeStep(orvane::RunTime& rt) {
    if (m_volumeRead) return;
    m_volumeRead = true;
    int volume = 0;
    if (orvane::GetMasterVolume(&volume)) rt.volume = volume;
}
void COrvaneDlg::SetMuteButton(bool toggled) { SetButtonToggled(ID_MUTE, toggled); }
void COrvaneDlg::Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void COrvaneDlg::ShowNumber(const std::string& text) {
    if (m_osd) m_osd->ShowNumber(text);
}

void COrvaneDlg::SetDisplayText(const std::string& text) {
    if (m_panel) m_panel->SetDisplayText(wxString::FromUTF8(text));
}

void COrvaneDlg::ShowBar(const char* label, int value, int max) {
    if (m_osd) m_osd->ShowBar(label, value, max);
}

void COrvaneDlg::ClearKeypadEntry() {
    if (m_keypad) m_keypad->OnLapse();
}

// ---------------------------------------------------------------- remote keys

void COrvaneDlg::OnRemoteKey(int code) {
    if (m_osd && code != 0x1FF) m_osd->ClearMessage();
    m_dispatch.Handle(code, Rt().hidden, *this);
}

void COrvaneDlg::Run(orvane::RemoteAction action, int arg) {
    using A = orvane::RemoteAction;
    orvane::RunTime& rt = Rt();
    switch (action) {
    case A::Digit: case A::KeypadDash: if (m_keypad) m_keypad->PressKey(arg); break;
    case A::PrevChannel: orvane::PreviousChannel(rt, *this); break;
    case A::NextChannel: orvane::NextChannel(rt, *this); break;
    case A::LastChannel: if (m_keypad) m_keypad->SelectChannel(rt.prevTune); break;
    case A::Close: CloseOperation(); break;
    case A::Record: RunCommand(IDC_RECORD); break;
    case A::TogglePanel: RunCommand(IDC_SHOW_CONTROL_PANEL); break;
    case A::FullScreen: ToggleFullScreen(); break;
    case A::NextInput: NextInput(); break;
    case A::Mute: orvane::ToggleMute(rt, *this); break;
    case A::Snapshot: if (CaptureCommandsEnabled()) OnCaptureCommand(IDC_SNAPSHOT, false); break;
    case A::VolumeDown: orvane::StepVolume(rt, *this, false, std::max(1, arg)); break;
    case A::VolumeUp: orvane::StepVolume(rt, *this, true, std::max(1, arg)); break;
    case A::Pause: TogglePause(); break;
    default: break;
    }
}

namespace {

int* ColourField(orvane::RunTime& rt, int property) {
    switch (property) {
    case 0: return &rt.vidBrightness;
    case 1: return &rt.vidContrast;
    case 2: return &rt.vidHue;
    case 3: return &rt.vidSaturation;
    default: return nullptr;
    }
}

}  // namespace

int COrvaneDlg::ColourValue(int property) const {
    const int* v = ColourField(Rt(), property);
    return v ? *v : 0;
}

void COrvaneDlg::SetColourValue(int property, int value) {
    if (int* v = ColourField(Rt(), property)) *v = value;
    Strova_SetVideoPropertyValue(Rt().deviceIndex, property, value);
}
