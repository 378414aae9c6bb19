#include "common/FolderDialog.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/dirctrl.h>
#include <wx/filename.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace {

constexpr size_t kMaxCaption = 255;
const char kDefaultCaption[] = "Browse Folder";
const char kInstruction[] = "Current Selection:";

// Length in bytes of the first `chars` UTF-8 characters of `s` (all of it when shorter).
size_t Utf8Prefix(const std::string& s, size_t chars) {
    size_t i = 0;
    for (size_t n = 0; i < s.size() && n < chars; ++n) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    }
    return i;
}

// The tree finds a folder by its path without a trailing separator.
wxString TreePath(const std::string& folder) {
    std::string p = folder;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return wxString::FromUTF8(p);
}

}  // namespace

CFolderDialog::CFolderDialog(const std::string& startFolder, unsigned flags, wxWindow* owner,
                             const std::string& caption)
    : start_(startFolder), chosen_(startFolder), flags_(flags), owner_(owner) {
    caption_ = caption.empty() ? kDefaultCaption : caption.substr(0, Utf8Prefix(caption, kMaxCaption));
}

CFolderDialog::ShownFn& CFolderDialog::ShownHook() {
    static ShownFn hook;
    return hook;
}

std::string CFolderDialog::ShortenStatus(const std::string& path) {
    const size_t cut = Utf8Prefix(path, kStatusChars);
    if (cut >= path.size()) return path;
    return path.substr(0, cut) + "...";
}

int CFolderDialog::ShowModal() {
    chosen_ = start_;
    wxDialog dlg(owner_, wxID_ANY, wxString::FromUTF8(caption_), wxDefaultPosition, wxDefaultSize,
                 wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(&dlg, wxID_ANY, kInstruction), 0, wxLEFT | wxRIGHT | wxTOP, 12);
    status_ = new wxStaticText(&dlg, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE);
    status_->SetFont(status_->GetFont().Bold());
    top->Add(status_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 12);
    tree_ = new wxGenericDirCtrl(&dlg, wxID_ANY, wxDirDialogDefaultFolderStr, wxDefaultPosition, wxSize(380, 340),
                                 long(wxDIRCTRL_DIR_ONLY) | wxBORDER_THEME);
    top->Add(tree_, 1, wxEXPAND | wxALL, 12);
    top->Add(dlg.CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 12);
    dlg.SetSizerAndFit(top);
    dlg.SetMinSize(dlg.GetSize());
    dlg.CentreOnParent();

    if (!start_.empty()) tree_->ExpandPath(TreePath(start_));
    ShowStatus(start_);
    // Bound after the preselection so only the user's changes count.
    tree_->Bind(wxEVT_DIRCTRL_SELECTIONCHANGED, [this](wxTreeEvent&) { OnSelectionChanged(); });

    dialog_ = &dlg;
    if (ShownHook()) {
        ShownFn hook = ShownHook();
        dlg.CallAfter([this, hook] { hook(*this); });
    }
    const int answer = dlg.ShowModal();
    const std::string picked = tree_->GetPath().utf8_string();
    dialog_ = nullptr;
    tree_ = nullptr;
    status_ = nullptr;

    if (answer == wxID_OK && !picked.empty() && wxFileName::DirExists(wxString::FromUTF8(picked))) {
        chosen_ = picked;
        return kOk;
    }
    chosen_ = start_;
    return kCancel;
}

void CFolderDialog::OnSelectionChanged() {
    const std::string path = tree_->GetPath().utf8_string();
    if (path.empty()) return;
    chosen_ = path;
    ShowStatus(path);
}

void CFolderDialog::ShowStatus(const std::string& path) {
    if (!status_) return;
    status_->SetLabelText(wxString::FromUTF8(ShortenStatus(path)));
    status_->SetToolTip(wxString::FromUTF8(path));
}

bool CFolderDialog::SelectFolder(const std::string& folder) {
    if (!tree_) return false;
    const wxString want = TreePath(folder);
    tree_->SetPath(want);
    return tree_->GetPath() == want;
}

std::string CFolderDialog::StatusText() const {
    return status_ ? status_->GetLabelText().utf8_string() : std::string();
}

std::string CFolderDialog::Caption() const {
    return dialog_ ? dialog_->GetTitle().utf8_string() : caption_;
}

void CFolderDialog::EndModal(int result) {
    if (dialog_) dialog_->EndModal(result == kOk ? wxID_OK : wxID_CANCEL);
}
