// Main window: recording and snapshot commands (1010 record, 1011 save the
// current picture as, 1012 snapshot) and the recording part of timer 5. The
// commands themselves live in orvane::CaptureCommands; this file lends them
// the window's controls, message boxes, on-screen display and save dialog.
#include "orvane/ui/OrvaneDlg.h"

#include "orvane/core/SnapshotDialog.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/SYSTEMTRAY.h"
#include "orvane/ui/dispDlg.h"

orvane::CaptureCommands& COrvaneDlg::Capture() {
    if (!m_capture) m_capture = std::make_unique<orvane::CaptureCommands>(*this);
    return *m_capture;
}

void COrvaneDlg::OnCaptureCommand(int id, bool askName) {
    if (id == IDC_SNAPSHOT && !askName) Capture().Snapshot(true);
    else Capture().HandleCommand(id);
}

bool COrvaneDlg::CaptureCommandsEnabled() const { return true; }

bool COrvaneDlg::IsRecording() const { return m_capture && m_capture->IsRecording(); }

void COrvaneDlg::OnCaptureTimer() { Capture().OnTimer(); }

bool COrvaneDlg::CaptureMenuAllowed(int id) const {
    const auto it = m_captureMenus.find(id);
    return it == m_captureMenus.end() || it->second;
}

// ---------------------------------------------------------------- orvane::CaptureHost

void COrvaneDlg::CaptureMessage(const std::string& text, const std::string& caption) {
    Ask(wxString::FromUTF8(text), wxString::FromUTF8(caption), wxOK);
}

void COrvaneDlg::CaptureShowText(const std::string& text) {
    if (m_osd) m_osd->ShowText(wxString::FromUTF8(text));
}

std::string COrvaneDlg::CaptureAskSavePath(const orvane::SaveDialogSetup& setup) {
    return orvane::RunSaveStillDialog(this, setup);
}

void COrvaneDlg::CaptureUi(const orvane::UiChange& c) {
    using K = orvane::UiChange::Kind;
    switch (c.kind) {
    case K::MenuText: SetMenuText(c.id, wxString::FromUTF8(c.text)); break;
    case K::MenuEnable:
        // Kept for the menu's update pass, which would enable the item again.
        m_captureMenus[c.id] = c.on;
        EnableMenu(c.id, c.on && IsMenuEnabled(c.id));
        break;
    case K::ButtonEnable: EnableButton(c.id, c.on); break;
    case K::ButtonShow: ShowButton(c.id, c.on); break;
    case K::ButtonToggled: SetButtonToggled(c.id, c.on); break;
    case K::ButtonTip: SetButtonTip(c.id, wxString::FromUTF8(c.text)); break;
    case K::TrayIcon:
        m_trayIcon = c.id;
        if (m_tray) m_tray->ChangeTrayIcon(c.id);
        break;
    }
}

void COrvaneDlg::CaptureRestoreSound() { RestoreSound(); }
