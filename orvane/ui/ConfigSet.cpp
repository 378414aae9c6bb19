#include "orvane/ui/ConfigSet.h"

#include <wx/button.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/sizer.h>

#include "common/RegKey.h"
#include "orvane/core/Schedule.h"
#include "orvane/core/Settings.h"
#include "orvane/ui/ConfigDlg.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/PageLayout.h"
#include "orvane/ui/RecMode.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/Timing.h"
#include "orvane/ui/VideoSet.h"

using orvane::Rt;

namespace {

const char* const kTabs[] = {"Video Settings", "Advanced Settings", "Recording Settings", "Recording Schedule"};

}  // namespace

CConfigSet::CConfigSet(wxWindow* parent, ViewerHost& host, std::atomic<int>* remoteFlag)
    : wxDialog(parent, IDD_SYSTEM_SETTINGS, "System Settings"), m_host(host) {
    if (remoteFlag) *remoteFlag = 0;
    orvane::Sched().Load();  // opening, step 1

    m_sheet = new wxNotebook(this, wxID_ANY);
    for (int i = 0; i < kPageCount; ++i) {
        m_holders[i] = new wxPanel(m_sheet);
        m_holders[i]->SetSizer(new wxBoxSizer(wxVERTICAL));
        m_sheet->AddPage(m_holders[i], kTabs[i], i == kVideo);
    }
    CreatePage(kVideo);
    m_sheet->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [this](wxBookCtrlEvent& e) {
        CreatePage(e.GetSelection());
        e.Skip();
    });

    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(m_sheet, 1, wxEXPAND | wxALL, 10);
    top->Add(OkCancelRow(this), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 10);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOk(); }, wxID_OK);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { OnCancel(); });
    SetSizer(top);
    // Room for the largest page, which is created only later.
    m_sheet->SetMinSize(wxSize(620, 500));  // the recording page, its tallest
    Fit();
    CentreOnParent();
}

void CConfigSet::CreatePage(int page) {
    if (page < 0 || page >= kPageCount) return;
    wxPanel* holder = m_holders[page];
    wxWindow* made = nullptr;
    switch (page) {
    case kVideo: if (!m_video) made = m_video = new CVideoSet(holder, *this); break;
    case kAdvanced: if (!m_advanced) made = m_advanced = new CConfigDlg(holder, *this); break;
    case kRecording: if (!m_rec) made = m_rec = new CRecMode(holder, *this); break;
    case kSchedule: if (!m_timing) made = m_timing = new CTiming(holder, *this); break;
    }
    if (!made) return;
    holder->GetSizer()->Add(made, 1, wxEXPAND | wxALL, 8);
    holder->Layout();
}

void CConfigSet::ShowPage(Page page) {
    m_sheet->SetSelection(size_t(page));
    CreatePage(page);  // a selection made in code sends no event on every port
}

bool CConfigSet::ApplyOk() {
    orvane::RunTime& rt = Rt();
    if (m_rec) {
        if (!m_rec->ValidateForOk()) return false;
        m_rec->StoreOnOk();
    } else if (rt.sefDef == 1) {
        CRegKey key;
        key.Open(plat::HKEY_LOCAL_MACHINE, orvane::kSettingsKey);
        key.WriteNumber("CaptureMode", 1);
        key.WriteNumber("mpgmode", 0);
        rt.captureMode = 1, rt.mpgMode = 0;
    }
    if (m_advanced) {
        m_advanced->OkStep();
        orvane::WriteSettingNumber("halfpic", m_advanced->HalfPicture() ? 1 : 0);
    }
    if (m_video && !m_video->StoreOnOk()) return false;
    if (m_timing) orvane::Sched().Save();
    return true;
}

void CConfigSet::ApplyCancel() {
    if (m_video) m_video->CancelChanges();
    orvane::Sched().Load();
}

void CConfigSet::OnOk() {
    if (ApplyOk()) Finish(wxID_OK);
}

void CConfigSet::OnCancel() {
    ApplyCancel();
    Finish(wxID_CANCEL);
}

// Tests show the dialog without a modal loop.
void CConfigSet::Finish(int code) {
    SetReturnCode(code);
    if (IsModal()) EndModal(code);
    else Hide();
}

int CConfigSet::Ask(wxWindow* parent, const wxString& text, const wxString& caption, long style) {
    if (COrvaneDlg::MessageBoxHook()) return COrvaneDlg::MessageBoxHook()(text, caption, style);
    return wxMessageBox(text, caption, style, parent);
}
