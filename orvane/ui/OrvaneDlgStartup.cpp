// Main window initialisation in its fixed order, the close operation (hide
// to or restore from the tray) and the final close.
#include "orvane/ui/OrvaneDlg.h"

#include "orvane/ui/PropertyFrame.h"

#include <unistd.h>

#include <wx/msgdlg.h>

#include "orvane/core/Mixer.h"
#include "orvane/core/Schedule.h"
#include "orvane/core/Settings.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/Menus.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/SYSTEMTRAY.h"
#include "orvane/ui/Skin.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/dispDlg.h"
#include "platform/Paths.h"
#include "strova/Strova.h"
#include "calvex/Calvex.h"

using orvane::Rt;

unsigned long NativeXidOf(wxWindow* w);  // OrvaneDlgNative.cpp
void CancelNativeDialog(wxWindow* dialog);  // OrvaneDlgNative.cpp

namespace {

std::string NoSlash(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// A stored channel index that points outside the table reads as entry 0.
const orvane::ChannelRecord& Entry(const orvane::ChannelRecord* table, int i) {
    return table[i >= 0 && i < orvane::kChannelCount ? i : 0];
}

}  // namespace

bool COrvaneDlg::OnInitDialog() {
    orvane::RunTime& rt = Rt();
    CreateTray();                                  // 1
    CreateEvents();                                // 2
    m_dialogStartFolder = plat::CurrentDir();      // 3
    if (m_dialogStartFolder.size() > 255) m_dialogStartFolder.resize(255);
    m_dispatch = orvane::RemoteDispatcher();
    SetTvChannelFreg(0, rt.useFave ? Entry(rt.faves, rt.furTune).freq  // 4
                                   : Entry(rt.channels, rt.curTune).freq);
    if (rt.startFolder[0]) plat::SetCurrentDir(rt.startFolder);         // 5
    plat::SetNativeWindow(m_hwnd, NativeXidOf(m_video));
    WireLibrary();                                 // 6
    ReconnectDevice();                             // 7
    ApplyCaptureFormat();                          // 8
    ApplyColourControls();                         // 9
    ApplyOverlay();  // the stored logo, time and date on the new connection
    SetTitle(rt.deviceName);                       // 10
    plat::SetWindowTitle(m_hwnd, rt.deviceName);
    const wxBitmap strip = LoadSkinBitmap(IDB_BORDER_STRIP);  // 11
    if (strip.IsOk()) {
        const wxImage img = strip.ConvertToImage();
        m_strip.assign(img.GetData(), img.GetData() + size_t(img.GetWidth()) * 3);
    }
    if (!CreateMenu()) {                           // 12
        Ask("Loading shotcut menu failed!", "Error", wxOK | wxICON_ERROR);
        CloseOperation();
        return false;
    }
    if (!CreatePanel()) {                          // 13
        Ask("Unable to create toolbar!", "Error", wxOK | wxICON_ERROR);
        FinalClose();
        return false;
    }
    // 14: the codec registration run has no counterpart here.
    rt.isFixed43 = !rt.isFixed43;                  // 15
    Toggle43();
    if (rt.isTopMost) ToggleOnTop();
    PlaceStoredWindow();                           // 16
    int one = 1;
    Strova_SetCaptureAudio(rt.deviceIndex, &one);  // 17
    StartRemote();                                 // 18
    CreateFloatingWindows();                       // 19, 20
    SetDisplayText(Entry(rt.channels, rt.curTune).name);  // 21
    ApplyInputAndSound();                          // 22, 23
    HintScanIfNoChannels();
    m_initialised = true;
    StartVisibleOrHidden(rt.startFolder[0] &&                                       // 24
                         NoSlash(m_dialogStartFolder) != NoSlash(rt.startFolder));
    // The schedule is read here too, not only when the settings dialog
    // opens, so timed recordings survive a restart.
    orvane::Sched().Load();
    m_timer.Start(500);                            // 25
    LayoutVideo();
    // A first start on the tuner with no channel offers the scan once, after
    // the window is up.
    if (rt.firstStart && !rt.hidden && IsTunerInputSelected() && rt.totalTv == 0)
        CallAfter([this] { OfferFirstScan(); });
    rt.firstStart = false;
    return true;
}

void COrvaneDlg::OfferFirstScan() {
    if (m_ended || IsScanRunning() || Rt().totalTv != 0 || !IsTunerInputSelected()) return;
    if (Ask(kFirstScanQuestion, "Tellura", wxYES_NO | wxICON_QUESTION) == wxYES) {
        if (m_osd) m_osd->ClearMessage();
        StartScan();
    }
}

void COrvaneDlg::CreateTray() {
    m_tray = std::make_unique<CSystemTray>(this);
    m_tray->AddTrayIcon(this, WM_TRAY_NOTIFY, kTrayTipText, m_trayIcon, IDR_TRAY_MENU);
    wxIconBundle icons;
    icons.AddIcon(LoadSkinIcon(IDR_MAINFRAME, 32));
    icons.AddIcon(LoadSkinIcon(IDR_MAINFRAME, 16));
    SetIcons(icons);
}

void COrvaneDlg::CreateEvents() {
    if (!m_evContinue) m_evContinue = plat::CreateEventA(nullptr, 1, 0, "ContinueSearch");
    if (!m_evStop) m_evStop = plat::CreateEventA(nullptr, 1, 0, "StopSearch");
    if (!m_evStopRemote) m_evStopRemote = plat::CreateEventA(nullptr, 1, 0, "StopRemote");
}

void COrvaneDlg::WireLibrary() {
    const orvane::RunTime& rt = Rt();
    const int dev = rt.deviceIndex;
    Strova_SetOwnerWnd(dev, m_hwnd);
    RegisterPropertyFrameHost(this);  // the library's property pages open as our dialogs
    Strova_SetMessageDrain(dev, m_hwnd);
    Strova_SetNotifyWindow(dev, m_hwnd, WM_STROVA_NOTIFY);
    Strova_SetFrameRateOnCapture(dev, 0, 0.0);
    Strova_SetVideoStandard(dev, rt.vidStandard);
    Strova_RouteInPinToOutPin(dev, rt.vidSource, 0);
}

// Connects again with this window as the owner: without the snapshot
// capture mode the preview runs in YUY2 at 640 x 480.
void COrvaneDlg::ReconnectDevice() {
    const int dev = Rt().deviceIndex;
    Strova_DisconnectDevice(dev);
    m_videoSize = wxSize();  // the new connection's window takes its size again
    if (Rt().useSnapCap) {
        Strova_ConnectDevice(dev, 0, m_hwnd);
        return;
    }
    const STROVA_STATUS st = Strova_ConnectDevice(dev, 1, m_hwnd);
    VideoInfo info{};
    Strova_GetVideoInfo(dev, &info, STROVA_PIN_PREVIEW);
    if (st < 0) return;
    info.colorCode = 2;
    info.bmi.width = 640;
    info.bmi.height = 480;
    Strova_DisconnectPin(dev, STROVA_PIN_PREVIEW);
    Strova_SetVideoInfo(dev, info, STROVA_PIN_PREVIEW);
    Strova_ConnectPin(dev, STROVA_PIN_PREVIEW);
}

void COrvaneDlg::ApplyCaptureFormat() {
    const orvane::RunTime& rt = Rt();
    Strova_SetMessageDrain(rt.deviceIndex, m_hwnd);
    VideoInfo info{};
    if (Strova_GetVideoInfo(rt.deviceIndex, &info, STROVA_PIN_CAPTURE) < 0) return;
    info.colorCode = rt.vidSubtypeRec;
    info.bmi.width = rt.vidWidthRec;
    info.bmi.height = rt.vidHeightRec;
    Strova_SetVideoInfo(rt.deviceIndex, info, STROVA_PIN_CAPTURE);
}

// The colour values are read again without the load bounds, with defaults
// that depend on the card model.
void COrvaneDlg::ApplyColourControls() {
    orvane::RunTime& rt = Rt();
    const bool model1 = rt.cardModel == 1;
    struct { const char* name; int* value; int def; int property; } controls[] = {
        {"vid_brightness", &rt.vidBrightness, model1 ? 5000 : 128, 0},
        {"vid_contrast", &rt.vidContrast, model1 ? 5000 : 68, 1},
        {"vid_saturation", &rt.vidSaturation, model1 ? 5000 : 64, 3},
        {"vid_hue", &rt.vidHue, model1 ? 5000 : 0, 2},
    };
    for (auto& c : controls) {
        unsigned v = unsigned(c.def);
        orvane::ReadSettingNumber(c.name, v);
        *c.value = int(v);
        Strova_SetVideoPropertyValue(rt.deviceIndex, c.property, *c.value);
    }
    if (!model1) Strova_SetVideoPropertyValue(rt.deviceIndex, 8, -6);
}

bool COrvaneDlg::CreateMenu() {
    m_pop = LoadMenuResource(IDR_CONTEXT_MENU);
    m_menu = m_pop;
    return m_pop != nullptr;
}

bool COrvaneDlg::CreatePanel() {
    m_panel = new CControlDlg(*this);
    if (!m_panel->GetHandle()) {
        m_panel->Destroy();
        m_panel = nullptr;
        return false;
    }
    PlaceStoredPanel();
    // Buttons of commands that are not live yet show disabled.
    for (int id : {IDC_CONFIGURATION, IDC_HELP, IDC_OPEN_IMAGES, IDC_OPEN_VIDEOS, ID_CHANNEL_LIST,
                   IDC_RECORD, IDC_SAVE_IMAGE_AS, IDC_SNAPSHOT})
        EnableButton(id, true);
    return true;
}

void COrvaneDlg::CreateFloatingWindows() {
    m_osd = new CDispDlg(this, *this);
    m_osd->Reposition(this, true);
    m_keypad = new CTVControl(this, *this);
    ShowButton(IDC_FAVE_INDICATOR, !Rt().useFave);
    m_keypad->Show(Rt().ctrShow != 0);
}

// Each input presses the keypad's sound key once from the opposite flag, so
// the card's sound ends up matching the input.
void COrvaneDlg::ApplyInputAndSound() {
    orvane::RunTime& rt = Rt();
    static const struct { int before; const char* label; int after; } kInputs[] = {
        {1, "S-Video", 0}, {0, "Video1-In", 1}, {1, "Video2-In", 0}};
    if (rt.vidSource >= 0 && rt.vidSource <= 2) {
        const auto& in = kInputs[rt.vidSource];
        rt.tvSound = in.before;
        m_keypad->PressKey(KEYPAD_SOUND_KEY);
        SetDisplayText(in.label);
        rt.tvSound = in.after;
    }
    if (rt.vNul) {
        orvane::SetMasterMute(false);
        SetTVSoundData(0, 0);
    } else {
        SetButtonToggled(ID_MUTE, true);
        orvane::SetMasterMute(true);
    }
    RestoreSound();
    ShowLineSoundButton();
}

// The card's sound from the tuner or the line input, by the sound-source flag.
void COrvaneDlg::SoundBySource() {
    if (Rt().tvSound) {
        SetTVSoundData(0, 1);
    } else {
        SetTVSoundData(0, 0);
        SetADSoundData(0, 1);
    }
    ShowLineSoundButton();
}

void COrvaneDlg::ShowLineSoundButton() { ShowButton(IDC_LINE_SOUND_INDICATOR, Rt().tvSound == 0); }

void COrvaneDlg::StartVisibleOrHidden(bool hidden) {
    orvane::RunTime& rt = Rt();
    if (hidden) {
        SetMenuText(IDC_SHOW_CONTROL_PANEL, "S&how Control Panel");
        m_keypad->Hide();
        SetTVSoundData(0, 0);
        m_osd->Reposition(this, false);
        HideMainWindow(m_tray->IsEnabled() && !m_tray->IsHidden());
        rt.hidden = true;
        return;
    }
    if (!rt.isHideTool) {
        m_panel->Show();
        SetMenuText(IDC_SHOW_CONTROL_PANEL, "&Hide Control Panel");
        m_keypad->Show(rt.ctrShow != 0);
    }
    m_tray->RemoveTrayIcon();
    rt.hidden = false;
    Show();
    SoundBySource();
}

// ---------------------------------------------------------------- closing

void COrvaneDlg::CloseOperation() {
    if (IsScanRunning()) {
        plat::ResetEvent(m_evContinue);
        plat::SetEvent(m_evStop);
        return;
    }
    if (!Rt().autoStart) {
        FinalClose();
        return;
    }
    if (Rt().hidden) ShowFromTray();
    else HideToTray();
}

void COrvaneDlg::RestoreSound() {
    const orvane::RunTime& rt = Rt();
    if (rt.tvSound && rt.vNul) {
        SetTVSoundData(0, 1);
    } else if (rt.vNul) {
        SetTVSoundData(0, 0);
        Pause(50);
        SetADSoundData(0, 1);
    }
}

void COrvaneDlg::ShowFromTray() {
    orvane::RunTime& rt = Rt();
    if (!rt.isHideTool && m_panel) {
        m_panel->Show();
        SetMenuText(IDC_SHOW_CONTROL_PANEL, "&Hide Control Panel");
        if (m_keypad && rt.ctrShow) m_keypad->Show();
    }
    m_tray->RemoveTrayIcon();
    rt.hidden = false;
    Show();
    if (IsIconized()) Iconize(false);
    Raise();
    SoundBySource();
    orvane::SetLineInputMute(false);
}

// Without a notification area the window is minimised instead of hidden, so
// the user can still bring it back from the task bar. A window not yet shown
// (hidden start) is shown minimised.
void COrvaneDlg::HideMainWindow(bool trayShown) {
    if (trayShown) {
        Hide();
        return;
    }
    Iconize(true);
    if (!IsShown()) Show();
}

void COrvaneDlg::HideToTray() {
    orvane::RunTime& rt = Rt();
    rt.isHideTool = m_panel && !m_panel->IsShown();
    if (m_panel) m_panel->Hide();
    SetMenuText(IDC_SHOW_CONTROL_PANEL, "S&how Control Panel");
    if (m_keypad) m_keypad->Hide();
    if (m_osd) m_osd->Reposition(this, false);
    const bool tray = m_tray->AddTrayIcon(this, WM_TRAY_NOTIFY, kTrayTipText, m_trayIcon, IDR_TRAY_MENU);
    HideMainWindow(tray);
    rt.hidden = true;
    SetTVSoundData(0, 0);
    m_lineCountdown = -1;
    orvane::SetLineInputMute(true);
}

// The session ends: no question is asked; a scan in progress stops and its
// result is not kept, then the final close.
void COrvaneDlg::EndSession() {
    if (m_ended) return;
    if (m_question) {
        // A question's own loop would hold the close: the box is ended
        // unanswered, and the close runs once that loop has returned.
        CancelNativeDialog(m_question);
        CallAfter([this] { EndSession(); });
        return;
    }
    if (IsScanRunning()) {
        plat::ResetEvent(m_evContinue);
        plat::SetEvent(m_evStop);
        JoinScan();
        orvane::FinishScan(Rt(), m_scanBackup, false, *this);
        m_scanRunning = 0;
    }
    FinalClose();
}

void COrvaneDlg::FinalClose() {
    orvane::RunTime& rt = Rt();
    if (m_fullScreen) {                            // 1
        ToggleFullScreen();
    }
    const orvane::Rect r = WindowRect();           // 2
    rt.lMainWnd = r.x;
    rt.tMainWnd = r.y;
    rt.rMainWnd = r.x + r.w;
    rt.bMainWnd = r.y + r.h;
    if (plat::HWND help = plat::FindWindowA(nullptr, "Quorvel Tellura Help"))  // 3
        plat::PostMessage(help, kWmClose, 0, 0);
    Calvex_Close(m_hwnd);  // an open video browser goes with the viewer, silently
    if (m_panel) {                                 // 4
        const wxPoint p = m_panel->GetPosition();
        rt.xToolWnd = p.x;
        rt.yToolWnd = p.y;
    }
    SetTVSoundData(0, 0);                          // 5
    const int dev = rt.deviceIndex;                // 6
    int32_t standard = rt.vidStandard, available = 0;
    if (Strova_GetVideoStandard(dev, &standard, &available) >= 0) rt.vidStandard = standard;
    VideoInfo info{};
    if (Strova_GetVideoInfo(dev, &info, STROVA_PIN_PREVIEW) >= 0) {
        rt.vidSubtype = info.colorCode;
        rt.vidWidth = info.bmi.width;
        rt.vidHeight = info.bmi.height;
    }
    if (Strova_GetVideoInfo(dev, &info, STROVA_PIN_CAPTURE) >= 0) {
        rt.vidSubtypeRec = info.colorCode;
        rt.vidWidthRec = info.bmi.width;
        rt.vidHeightRec = info.bmi.height;
    }
    if (rt.tempStillFile[0]) unlink(rt.tempStillFile);  // 7
    if (m_tray) m_tray->RemoveTrayIcon();
    orvane::SetMasterMute(false);
    EndModal(wxID_CANCEL);                         // 8
}
