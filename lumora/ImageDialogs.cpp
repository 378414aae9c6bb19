// The Rename and delay dialogs and the browser's message boxes.
#include "lumora/ImageDialogs.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/msgdlg.h>
#include <wx/statbmp.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "lumora/Resource.h"

namespace lumora {

AskFn& MessageBoxHook() {
    static AskFn hook;
    return hook;
}

namespace {

wxArtID IconOf(long style) {
    if (style & wxICON_ERROR) return wxART_ERROR;
    if (style & wxICON_WARNING) return wxART_WARNING;
    if (style & wxICON_QUESTION) return wxART_QUESTION;
    return wxART_INFORMATION;
}

// A message box of our own: the platform's sizes itself to short texts so
// narrowly that the window manager cuts its title. This one is at least wide
// enough for a comfortable line and the title, and wraps long texts.
class CMessageBox : public wxDialog {
public:
    CMessageBox(wxWindow* parent, const wxString& text, const wxString& caption, long style)
        : wxDialog(parent, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE) {
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(new wxStaticBitmap(this, wxID_ANY, wxArtProvider::GetBitmap(IconOf(style), wxART_MESSAGE_BOX)), 0,
                 wxRIGHT, FromDIP(16));
        auto* label = new wxStaticText(this, wxID_ANY, text);
        label->Wrap(FromDIP(440));
        row->Add(label, 1, wxALIGN_CENTER_VERTICAL);
        auto* page = new wxBoxSizer(wxVERTICAL);
        page->Add(row, 1, wxEXPAND | wxALL, FromDIP(18));
        const bool yesNo = (style & wxYES_NO) != 0;
        wxStdDialogButtonSizer* buttons = CreateStdDialogButtonSizer(yesNo ? wxYES | wxNO : wxOK);
        page->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, FromDIP(12));
        // Room for the title beside the window manager's buttons.
        const int titleRoom = GetTextExtent(caption).x + FromDIP(160);
        page->SetMinSize(wxSize(std::max(FromDIP(340), titleRoom), -1));
        SetSizerAndFit(page);
        if (yesNo) {
            SetEscapeId(wxID_NO);
            wxWindow* preset = FindWindow((style & wxNO_DEFAULT) ? wxID_NO : wxID_YES);
            if (auto* b = dynamic_cast<wxButton*>(preset)) {
                b->SetDefault();
                b->SetFocus();
            }
            SetAffirmativeId(wxID_YES);
            Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_NO); }, wxID_NO);
        }
        CentreOnParent();
    }
};

}  // namespace

int Ask(const wxString& text, long style) {
    if (MessageBoxHook()) return MessageBoxHook()(text, style);
    const wxString caption = wxTheApp ? wxTheApp->GetAppDisplayName() : wxString("Lumora");
    CMessageBox box(wxTheApp ? wxTheApp->GetTopWindow() : nullptr, text, caption, style);
    const int id = box.ShowModal();
    if (style & wxYES_NO) return id == wxID_YES ? wxYES : wxNO;
    return wxOK;
}

}  // namespace lumora

using namespace lumora;

CImgrn::CImgrn(wxWindow* parent, const wxString& name)
    : wxDialog(parent, IDD_RENAME, "Rename", wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE) {
    auto* group = new wxStaticBoxSizer(wxVERTICAL, this, "Rename file as...");
    edit_ = new wxTextCtrl(group->GetStaticBox(), IDC_RENAME_NAME, name, wxDefaultPosition,
                           wxSize(FromDIP(320), -1));
    group->Add(edit_, 0, wxEXPAND | wxALL, FromDIP(8));
    auto* page = new wxBoxSizer(wxVERTICAL);
    page->Add(group, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, FromDIP(12));
    page->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, FromDIP(12));
    SetSizerAndFit(page);
    CentreOnParent();
    // The name is selected without its extension, ready to be typed over.
    edit_->SetFocus();
    const long dot = long(edit_->GetValue().rfind('.'));
    edit_->SetSelection(0, dot > 0 ? dot : -1);
}

std::string CImgrn::Name() const { return edit_->GetValue().utf8_string(); }

CDImgTimer::CDImgTimer(wxWindow* parent)
    : wxDialog(parent, IDD_SLIDE_DELAY, "Timed slide show", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE) {
    edit_ = new wxTextCtrl(this, IDC_SLIDE_DELAY, "1000", wxDefaultPosition, wxSize(FromDIP(90), -1), wxTE_RIGHT);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticText(this, wxID_ANY, "Delay:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(8));
    row->Add(edit_, 0, wxALIGN_CENTER_VERTICAL);
    row->Add(new wxStaticText(this, wxID_ANY, "miliseconds"), 0, wxALIGN_CENTER_VERTICAL | wxLEFT, FromDIP(8));
    auto* page = new wxBoxSizer(wxVERTICAL);
    page->Add(row, 0, wxALL, FromDIP(16));
    page->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, FromDIP(12));
    SetSizerAndFit(page);
    CentreOnParent();
    edit_->SetFocus();
    edit_->SelectAll();
}

// The whole text must be a decimal integer (spaces around it allowed) within
// the limits; otherwise the user is told and the dialog stays open.
bool CDImgTimer::TransferDataFromWindow() {
    const wxString text = edit_->GetValue().Strip(wxString::both);
    long value = 0;
    const bool integer = !text.empty() && text.ToLong(&value);
    wxString message;
    if (!integer) {
        message = wxString::FromUTF8("请键入一个整数。");
    } else if (value < kMin || value > kMax) {
        message = wxString::FromUTF8("“请填入一个在") + wxString::Format("%d", kMin) + wxString::FromUTF8("和") +
                  wxString::Format("%d", kMax) + wxString::FromUTF8("之间的整数。”");
    }
    if (!message.empty()) {
        Ask(message, wxOK | wxICON_EXCLAMATION);
        edit_->SetFocus();
        edit_->SelectAll();
        return false;
    }
    delay_ = int(value);
    return true;
}
