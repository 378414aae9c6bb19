#include "orvane/ui/ConfigLogo.h"

#include <climits>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "orvane/ui/ConfigSet.h"
#include "orvane/ui/PageLayout.h"
#include "orvane/ui/Resource.h"
#include "strova/Strova.h"

namespace {

const int kShowIds[3] = {1028, 1029, 1031};
const char* const kShowLabels[3] = {"Show Logo", "Show Time", "Show Date"};
const int kPosIds[6] = {1022, 1023, 1024, 1025, 1032, 1033};
const char* const kPosLabels[6] = {"Logo X:", "Logo Y:", "Time X:", "Time Y:", "Date X:", "Date Y:"};
const int kSetIds[3] = {1026, 1027, 1034};
const char* const kBoxLabels[3] = {"Logo", "Time", "Date"};

const char kPositiveText[] = "Please enter a positive integer.";
const char kIntegerText[] = "Please enter an integer.";
const char kNoOverlayNote[] =
    "The video connection draws no logo, time or date. The settings are kept "
    "and take effect when the video is connected again.";
// The caption names the dialog as its menu item does.
const char kCaption[] = "Overlay Settings";

// Whole decimal number in [lo, INT_MAX], spaces around allowed.
bool ParseNumber(const wxString& text, long lo, long& out) {
    wxString t = text;
    t.Trim().Trim(false);
    long v = 0;
    if (t.empty() || !t.ToLong(&v) || v < lo || v > INT_MAX) return false;
    out = v;
    return true;
}

std::string DefaultChooser(wxWindow* parent, const std::string& current) {
    wxFileDialog dlg(parent, "Logo File", wxEmptyString, wxString::FromUTF8(current), "BMP image(*.bmp)|*.bmp",
                     wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dlg.ShowModal() != wxID_OK) return {};
    wxString path = dlg.GetPath();
    if (!path.Lower().EndsWith(".bmp") && !wxFileName(path).HasExt()) path += ".bmp";
    return path.utf8_string();
}

}  // namespace

CConfigLogo::ChooseFn& CConfigLogo::FileChooser() {
    static ChooseFn fn = DefaultChooser;
    return fn;
}

CConfigLogo::ShownFn& CConfigLogo::ShownHook() {
    static ShownFn hook;
    return hook;
}

CConfigLogo::CConfigLogo(wxWindow* parent, int card) : wxDialog(parent, IDD_OVERLAY, kCaption), m_card(card) {
    auto* top = new wxBoxSizer(wxVERTICAL);
    // A connection without the overlay in its video path: say so rather than
    // let the check boxes seem to do nothing.
    if (Strova_GetVideoStream(card, 0, 0) == VFW_E_WRONG_STATE) {
        auto* note = new wxStaticText(this, wxID_ANY, kNoOverlayNote);
        note->Wrap(420);
        top->Add(note, 0, wxLEFT | wxRIGHT | wxTOP, 12);
    }
    for (int item = 0; item < 3; ++item) {
        auto* box = new wxStaticBoxSizer(wxVERTICAL, this, kBoxLabels[item]);
        wxWindow* b = box->GetStaticBox();
        m_show[item] = new wxCheckBox(b, kShowIds[item], kShowLabels[item]);
        box->Add(m_show[item], 0, wxALL, 4);
        if (item == 0) {
            auto* fileRow = new wxBoxSizer(wxHORIZONTAL);
            m_file = new wxTextCtrl(b, 1020, wxEmptyString, wxDefaultPosition, wxSize(280, -1), wxTE_READONLY);
            auto* choose = new wxButton(b, 1021, "Set");
            choose->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ChooseLogo(); });
            fileRow->Add(new wxStaticText(b, wxID_ANY, "Logo File:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
            fileRow->Add(m_file, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
            fileRow->Add(choose, 0, wxALIGN_CENTER_VERTICAL);
            box->Add(fileRow, 0, wxEXPAND | wxALL, 4);
        }
        auto* pos = new wxBoxSizer(wxHORIZONTAL);
        for (int k = 0; k < 2; ++k) {
            const int i = item * 2 + k;
            m_pos[i] = new wxTextCtrl(b, kPosIds[i], wxEmptyString, wxDefaultPosition, wxSize(70, -1));
            pos->Add(new wxStaticText(b, wxID_ANY, kPosLabels[i]), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
            pos->Add(m_pos[i], 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 16);
        }
        pos->AddStretchSpacer();
        auto* set = new wxButton(b, kSetIds[item], "Set");
        pos->Add(set, 0, wxALIGN_CENTER_VERTICAL);
        box->Add(pos, 0, wxEXPAND | wxALL, 4);
        top->Add(box, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 12);

        auto apply = [this, item] { item == 0 ? ApplyLogo() : item == 1 ? ApplyTime() : ApplyDate(); };
        set->Bind(wxEVT_BUTTON, [apply](wxCommandEvent&) { apply(); });
        m_show[item]->Bind(wxEVT_CHECKBOX, [apply](wxCommandEvent&) { apply(); });
    }
    top->Add(OkCancelRow(this), 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(top);
    CentreOnParent();

    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { if (Read()) EndModal(wxID_OK); }, wxID_OK);
    Fill(m_values);
}

void CConfigLogo::Fill(const LogoSettings& s) {
    m_values = s;
    m_show[0]->SetValue(s.showLogo);
    m_show[1]->SetValue(s.showTime);
    m_show[2]->SetValue(s.showDate);
    m_file->ChangeValue(wxString::FromUTF8(s.logoFile));
    m_file->SetInsertionPointEnd();  // the file's own name in view
    const long pos[6] = {long(s.xLogo), long(s.yLogo), long(s.xTime), long(s.yTime), long(s.xDate), s.yDate};
    for (int i = 0; i < 6; ++i) m_pos[i]->ChangeValue(wxString::Format("%ld", pos[i]));
}

bool CConfigLogo::ReadUnsigned(wxTextCtrl* field, unsigned& out) {
    long v = 0;
    if (!ParseNumber(field->GetValue(), 0, v)) {
        CConfigSet::Ask(this, kPositiveText, kCaption, wxOK | wxICON_EXCLAMATION);
        field->SetFocus();
        field->SelectAll();
        return false;
    }
    out = unsigned(v);
    return true;
}

// Reads every control back into the values; stops at the first bad field.
bool CConfigLogo::Read() {
    LogoSettings s = m_values;
    s.showLogo = m_show[0]->GetValue();
    s.showTime = m_show[1]->GetValue();
    s.showDate = m_show[2]->GetValue();
    s.logoFile = m_file->GetValue().utf8_string();
    unsigned* fields[5] = {&s.xLogo, &s.yLogo, &s.xTime, &s.yTime, &s.xDate};
    for (int i = 0; i < 5; ++i)
        if (!ReadUnsigned(m_pos[i], *fields[i])) return false;
    long y = 0;
    if (!ParseNumber(m_pos[5]->GetValue(), INT_MIN, y)) {
        CConfigSet::Ask(this, kIntegerText, kCaption, wxOK | wxICON_EXCLAMATION);
        m_pos[5]->SetFocus();
        return false;
    }
    s.yDate = int(y);
    m_values = s;
    return true;
}

// A file the library refuses is not taken: the shown file stays, and is sent
// again so the picture keeps its logo.
void CConfigLogo::ChooseLogo() {
    const std::string path = FileChooser()(this, m_values.logoFile);
    if (path.empty()) return;
    if (Strova_SetLogoFile(m_card, path.c_str()) >= 0) {
        m_values.logoFile = path;
        m_file->ChangeValue(wxString::FromUTF8(path));
        m_file->SetInsertionPointEnd();
        return;
    }
    Strova_SetLogoFile(m_card, m_file->GetValue().utf8_string().c_str());
    CConfigSet::Ask(this, "The logo file could not be used: choose a BMP picture.", kCaption,
                    wxOK | wxICON_EXCLAMATION);
}

void CConfigLogo::ApplyLogo() {
    if (Read()) Strova_ShowLogo(m_card, m_values.showLogo, int(m_values.xLogo), int(m_values.yLogo));
}

void CConfigLogo::ApplyTime() {
    if (Read()) Strova_ShowTime(m_card, m_values.showTime, int(m_values.xTime), int(m_values.yTime));
}

void CConfigLogo::ApplyDate() {
    if (Read()) Strova_ShowDate(m_card, m_values.showDate, int(m_values.xDate), m_values.yDate);
}

int CConfigLogo::ShowModal() {
    if (ShownHook()) {
        ShownFn hook = ShownHook();
        CallAfter([this, hook] { hook(*this); });
    }
    return wxDialog::ShowModal();
}
