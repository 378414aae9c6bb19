// Main window: the channel scan thread, the remote-control thread and the
// input switch.
#include "orvane/ui/OrvaneDlg.h"

#include <cstdio>
#include <string>

#include <wx/msgdlg.h>

#include "orvane/core/Settings.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/dispDlg.h"
#include "strova/Strova.h"

using orvane::Rt;

COrvaneDlg::AskFn& COrvaneDlg::MessageBoxHook() {
    static AskFn hook;
    return hook;
}

int COrvaneDlg::Ask(const wxString& text, const wxString& caption, long style) {
    if (MessageBoxHook()) return MessageBoxHook()(text, caption, style);
    // Kept reachable so that a session end can take the box away (see EndSession).
    wxMessageDialog box(this, text, caption, style);
    m_question = &box;
    const int id = box.ShowModal();
    m_question = nullptr;
    switch (id) {  // wxMessageBox's answers
        case wxID_YES: return wxYES;
        case wxID_NO: return wxNO;
        case wxID_OK: return wxOK;
        default: return wxCANCEL;
    }
}

namespace {

// The panel's line during a scan: the frequency reached and the stations
// found ("487 MHz: 3"), within the display's 14 characters.
std::string ScanProgressText(int mhz, int found) {
    char text[16];
    std::snprintf(text, sizeof text, "%d MHz: %d", mhz % 1000, found % 1000);
    return text;
}

wxString ScanResultQuestion(int found) {
    return wxString::Format("Scanning channel finished!Save the result of scanning?\n\n%s",
                            found == 1 ? wxString("1 channel found.") : wxString::Format("%d channels found.", found));
}

// The controls that read the channel table, disabled while a scan runs.
const int kScanLocked[] = {ID_CHANNEL_LIST, IDC_RECORD, ID_KEYPAD_TOGGLE, IDC_CONFIGURATION,
                           ID_MINIMIZE, IDC_CHANNEL_DOWN, IDC_CHANNEL_UP, IDC_SHOW_CONTROL_PANEL,
                           ID_FULLSCREEN, ID_VOLUME_DOWN, ID_VOLUME_UP, IDC_OPEN_IMAGES,
                           IDC_OPEN_VIDEOS, IDC_PAUSE, ID_MUTE, IDC_SNAPSHOT};

// The tuner, the stop/continue events and the progress for the scan. The
// probes wait only as long as the card's tuner needs.
class CardScan : public orvane::ScanHost {
public:
    CardScan(plat::HANDLE stop, plat::HANDLE go, COrvaneDlg& dlg, CDispDlg* osd)
        : stop_(stop), go_(go), dlg_(dlg), osd_(osd) {}
    int Probe(int kHz) override { return Strova_GetTvChannelOkayQuick(0, kHz); }
    int Signal(int kHz) override { return Strova_TunerSignal(0, kHz); }
    // A probe starts only while "ContinueSearch" alone ends the wait; the
    // gate is closed for the probe and opened again after it.
    bool WaitContinue() override {
        const plat::HANDLE events[2] = {stop_, go_};
        if (plat::WaitForMultipleObjects(2, events, 0, plat::INFINITE) != plat::WAIT_OBJECT_0 + 1)
            return false;
        plat::ResetEvent(go_);
        return true;
    }
    void EndProbe() override { plat::SetEvent(go_); }
    // The bar moves in whole percent and the panel shows the frequency and
    // the stations found; both only when they change, so a fast walk does
    // not flood the user-interface thread.
    void Progress(int done, int range) override {
        const int percent = range > 0 ? int(int64_t(done) * 100 / range) : 0;
        const int found = Rt().totalTv, mhz = (orvane::kScanFirst + done) / 1000;
        if (osd_ && percent != percent_) osd_->ShowBar("SEARCH", done, range);
        if (mhz != mhz_ || found != found_)
            dlg_.CallAfter([d = &dlg_, text = ScanProgressText(mhz, found)] { d->SetDisplayText(text); });
        percent_ = percent, mhz_ = mhz, found_ = found;
    }

private:
    plat::HANDLE stop_, go_;
    COrvaneDlg& dlg_;
    CDispDlg* osd_;
    int percent_ = -1, mhz_ = -1, found_ = -1;
};

}  // namespace

void COrvaneDlg::ScanCommand() {
    if (!IsTunerInputSelected()) return;
    if (IsScanRunning()) {
        plat::ResetEvent(m_evContinue);
        plat::SetEvent(m_evStop);
        return;
    }
    if (Ask("Scanning Channels?", "Tellura", wxYES_NO | wxICON_QUESTION) != wxYES) {
        m_remoteFlag = 1;
        return;
    }
    StartScan();
}

void COrvaneDlg::StartScan() {
    JoinScan();
    m_scanRunning = 1;
    SetScanControls(false);
    if (m_keypad) m_keypad->Hide();
    SetTVSoundData(0, 0);
    plat::ResetEvent(m_evStop);
    plat::SetEvent(m_evContinue);
    m_scanThread = std::thread(&COrvaneDlg::ScanThread, this);
    SetDisplayText("Scanning ...");
}

void COrvaneDlg::ScanThread() {
    m_remoteFlag = 0;
    orvane::SaveForScan(Rt(), m_scanBackup);
    CardScan host(m_evStop, m_evContinue, *this, m_osd);
    orvane::RunScan(Rt(), host);
    // The question and the window updates belong to the user-interface thread.
    CallAfter([this] { FinishScanOnUi(false); });
}

void COrvaneDlg::FinishScanOnUi(bool) {
    if (m_ended) return;  // the session ended during the scan
    JoinScan();
    const bool keep = Ask(ScanResultQuestion(Rt().totalTv), "Tellura", wxYES_NO | wxICON_QUESTION) == wxYES;
    orvane::FinishScan(Rt(), m_scanBackup, keep, *this);
    if (keep) orvane::SaveChannelTables();  // a crash later cannot lose the scan
    // With no channel the panel names the input, not an empty table entry.
    static const char* const kLabels[] = {"S-Video", "Video1-In", "Video2-In"};
    if (Rt().totalTv == 0 && Rt().vidSource >= 0 && Rt().vidSource <= 2) SetDisplayText(kLabels[Rt().vidSource]);
    if (m_keypad) m_keypad->Show(Rt().ctrShow != 0);
    m_scanRunning = 0;
    SetScanControls(true);
    m_remoteFlag = 1;
    HintScanIfNoChannels();
}

void COrvaneDlg::JoinScan() {
    if (m_scanThread.joinable()) m_scanThread.join();
}

void COrvaneDlg::SetScanControls(bool enable) {
    for (int id : kScanLocked) EnableButton(id, enable);
}

// ---------------------------------------------------------------- remote

// Keys reach the window as posted messages in their order; a posted key
// cannot hold the polling thread while the window waits for it to stop.
void COrvaneDlg::StartRemote() {
    if (m_evStopRemote) plat::ResetEvent(m_evStopRemote);
    plat::HWND target = m_hwnd;
    m_remote.Start([] { return static_cast<int>(GetRemoteData()); },
                   [target](int code) { plat::PostMessage(target, WM_REMOTE_KEY, plat::WPARAM(code), 0); },
                   &m_remoteFlag);
}

void COrvaneDlg::StopRemote() {
    if (m_evStopRemote) plat::SetEvent(m_evStopRemote);
    m_remote.Stop();
}

void COrvaneDlg::NextInput() {
    orvane::RunTime& rt = Rt();
    rt.vidSource = rt.vidSource >= 2 ? 0 : rt.vidSource + 1;
    Strova_RouteInPinToOutPin(rt.deviceIndex, rt.vidSource, 0);
    InputLabelStep();
}
