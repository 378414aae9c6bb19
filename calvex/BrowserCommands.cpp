// The video browser's file commands, keys, full screen, status and close.
#include <wx/msgdlg.h>
#include <wx/splitter.h>
#include <wx/textdlg.h>
#include <wx/toolbar.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "calvex/BrowserFrame.h"
#include "calvex/PlayerPanel.h"
#include "platform/Trash.h"

namespace calvex {

int CBrowserFrame::Ask(const wxString& text, long style) {
    if (AskHook()) return AskHook()(text, style);
    return wxMessageBox(text, "Recordings", style, this);
}

void CBrowserFrame::DeleteSelected() {
    const long row = Selected();
    if (row < 0) return;
    const size_t index = order_[size_t(row)];
    const Recording r = rows_[index];
    if (Ask("Move \"" + wxString::FromUTF8(r.name) + "\" to the trash?", wxYES_NO | wxICON_QUESTION) != wxYES)
        return;
    player_->Release(r.path);
    std::string error;
    switch (plat::MoveToTrash(r.path, &error)) {
    case plat::TrashResult::Trashed: break;
    case plat::TrashResult::NoTrash:
        if (Ask("The disk of " + wxString::FromUTF8(r.name) +
                    " has no trash.\nDelete the recording for good? It cannot be restored.",
                wxYES_NO | wxICON_WARNING) != wxYES)
            return;
        if (!plat::DeleteForGood(r.path, &error)) {
            Ask(wxString::FromUTF8(error), wxOK | wxICON_ERROR);
            return;
        }
        break;
    case plat::TrashResult::Failed:
        Ask(wxString::FromUTF8(error), wxOK | wxICON_ERROR);
        return;
    }
    folder_.Removed(index);
    player_->Clear();
    Resort();
    if (!order_.empty()) Select(std::min(size_t(row), order_.size() - 1));
    UpdateStatus();
}

void CBrowserFrame::RenameSelected(const std::string& newName) {
    const long row = Selected();
    if (row < 0) return;
    const size_t index = order_[size_t(row)];
    const Recording r = rows_[index];
    std::string name = newName;
    if (name.empty()) {
        wxTextEntryDialog dlg(this, "New name:", "Rename Recording", wxString::FromUTF8(r.name));
        // The name is preselected without its extension, once the entry has
        // the focus (which would select it all).
        const long stem = long(wxString::FromUTF8(r.name.substr(0, StemLength(r.name))).length());
        for (wxWindow* w : dlg.GetChildren())
            if (auto* text = dynamic_cast<wxTextCtrl*>(w))
                text->Bind(wxEVT_SET_FOCUS, [text, stem](wxFocusEvent& e) {
                    text->CallAfter([text, stem] { text->SetSelection(0, stem); });
                    e.Skip();
                });
        if (dlg.ShowModal() != wxID_OK) return;
        name = dlg.GetValue().Trim().Trim(false).utf8_string();
    }
    name = RenamedName(r.name, name);
    if (name == r.name || name.empty()) return;
    if (name.find('/') != std::string::npos || name == "." || name == "..") {
        Ask("A file name cannot contain \"/\".", wxOK | wxICON_ERROR);
        return;
    }
    const std::string target = folder_.Folder() + "/" + name;
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) {
        Ask(wxString::FromUTF8(name) + " already exists.", wxOK | wxICON_ERROR);
        return;
    }
    player_->Release(r.path);
    if (std::rename(r.path.c_str(), target.c_str()) != 0) {
        Ask(wxString::FromUTF8(std::strerror(errno)), wxOK | wxICON_ERROR);
        return;
    }
    folder_.Renamed(index, target);
    rows_[index].path = target;
    rows_[index].name = name;
    Resort();
    ShowSelection();
}

void CBrowserFrame::ToggleFullScreen() {
    const bool full = !IsFullScreen();
    // Full screen is the picture alone; the controls come back with Esc, F
    // or F11, which reach the window through the focused picture.
    if (full) {
        if (split_->IsSplit()) sash_ = split_->GetSashPosition(), splitWidth_ = split_->GetSize().x;
        split_->Unsplit(split_->GetWindow1());
        player_->SetControlsShown(false);
        GetToolBar()->Hide();
        GetStatusBar()->Hide();
    } else {
        player_->SetControlsShown(true);
        GetToolBar()->Show();
        GetStatusBar()->Show();
    }
    ShowFullScreen(full);
    Layout();
    if (full) {
        player_->FocusPicture();
    } else {
        // Split again at the window's own size, where the divider was.
        split_->SplitVertically(listWindow_, player_, sash_ > 0 ? sash_ : GetClientSize().x * 60 / 100);
        restoreSash_ = sash_ > 0;
        RestoreSash();
        listWindow_->SetFocus();
    }
}

// The window gets its size (at first, and back from full screen) in steps;
// once the splitter has the width the divider was placed for, the divider
// goes there (the splitter's gravity would have moved it on the way).
void CBrowserFrame::RestoreSash() {
    if (!restoreSash_ || IsFullScreen() || !split_->IsSplit()) return;
    if (split_->GetSashPosition() != sash_) split_->SetSashPosition(sash_);
    if (split_->GetSize().x == splitWidth_) restoreSash_ = false;
}

void CBrowserFrame::OnKey(wxKeyEvent& e) {
    const int k = e.GetKeyCode();
    if (wxWindow::FindFocus() && dynamic_cast<wxTextCtrl*>(wxWindow::FindFocus())) {
        e.Skip();
        return;
    }
    switch (k) {
    case WXK_SPACE: player_->TogglePlay(); return;
    case WXK_RETURN: case WXK_NUMPAD_ENTER: PlaySelected(); return;
    case WXK_DELETE: DeleteSelected(); return;
    case WXK_F2: RenameSelected(""); return;
    case WXK_F5: Rescan(); return;
    case WXK_F11: case 'F': ToggleFullScreen(); return;
    case WXK_ESCAPE:
        if (IsFullScreen()) ToggleFullScreen();
        return;
    case ',': player_->Step(false); return;
    case '.': player_->Step(true); return;
    default: e.Skip();
    }
}

void CBrowserFrame::UpdateStatus() {
    wxString text;
    if (scan_ == ScanResult::Missing) {
        text = "The folder " + wxString::FromUTF8(folder_.Folder()) + " does not exist.";
    } else if (scan_ == ScanResult::Unreadable) {
        text = "The folder " + wxString::FromUTF8(folder_.Folder()) + " cannot be read.";
    } else if (order_.empty()) {
        text = "No recordings in " + wxString::FromUTF8(folder_.Folder()) + ".";
    } else {
        uint64_t bytes = 0;
        double seconds = 0;
        for (size_t i : order_) bytes += rows_[i].size, seconds += std::max(0.0, rows_[i].info.duration);
        text = wxString::Format("%zu recording%s, %s, %s", order_.size(), order_.size() == 1 ? "" : "s",
                                wxString::FromUTF8(FormatSize(bytes)), wxString::FromUTF8(FormatDuration(seconds)));
        if (!folder_.AllProbed()) text += wxString::FromUTF8(" so far (reading…)");
    }
    SetStatusText(text);
}

void CBrowserFrame::OnClose(wxCloseEvent&) {
    refresh_.Stop();
    folder_.Stop();
    player_->Clear();
    Destroy();
}

}  // namespace calvex
