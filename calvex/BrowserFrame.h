// The video browser's window: the recordings of a folder newest first with a
// preview frame, duration, size, date and format (sortable by column), the
// player beside them, and Delete (to the trash), Rename and "Open with the
// desktop's player". When it is gone it posts the owner's message once.
#pragma once
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/timer.h>

#include <functional>
#include <string>
#include <vector>

#include "calvex/VideoFolder.h"
#include "platform/Window.h"

class wxImageList;
class wxSplitterWindow;

namespace calvex {

class CPlayerPanel;
class CVideoList;

// Every message box of the browser goes through here; tests answer them.
using AskFn = std::function<int(const wxString& text, long style)>;
AskFn& AskHook();

class CBrowserFrame : public wxFrame {
public:
    CBrowserFrame(plat::HWND owner, unsigned message, const std::string& folder);
    ~CBrowserFrame() override;

    plat::HWND Owner() const { return owner_; }
    // Closes without telling the owner (the owner is going away).
    void Forget() { owner_ = nullptr; }

    // For the commands and the tests: rows in display order.
    size_t Rows() const { return order_.size(); }
    Recording RowAt(size_t row) const;
    void Select(size_t row);
    long Selected() const;
    void PlaySelected();
    void DeleteSelected();
    void RenameSelected(const std::string& newName);  // "" asks for it
    void OpenSelectedExternally();
    void SortBy(Column c, bool ascending);
    void ToggleFullScreen();
    CPlayerPanel* Player() const { return player_; }
    wxSplitterWindow* Splitter() const { return split_; }
    wxListCtrl* List() const;
    VideoFolder& Folder() { return folder_; }

    // The list control's callbacks.
    wxString CellText(long row, long col) const;
    int RowImage(long row) const;

private:
    void BuildToolBar();
    void Rescan();
    void OnWorkerUpdate(size_t index);
    void OnRefreshTick(wxTimerEvent&);
    void OnColumnClick(wxListEvent& e);
    void OnSelected(wxListEvent& e);
    void OnKey(wxKeyEvent& e);
    void OnClose(wxCloseEvent& e);
    void Resort();
    void ShowSelection();
    void UpdateStatus();
    long RowOfIndex(size_t index) const;
    int Ask(const wxString& text, long style);
    void RestoreSash();
    void FitColumns();
    void PlaceOnScreen();

    plat::HWND owner_;
    unsigned message_;
    VideoFolder folder_;
    std::vector<Recording> rows_;  // copies of the model, by model index
    std::vector<size_t> order_;    // display row -> model index (gone ones left out)
    std::vector<long> rowOf_;      // model index -> display row (-1 gone)
    std::vector<int> images_;      // model index -> image list index (-1 none)
    std::vector<char> dirty_;      // model index -> changed by a worker
    Column sortColumn_ = Column::Date;
    bool ascending_ = false;
    ScanResult scan_ = ScanResult::Ok;
    wxSplitterWindow* split_ = nullptr;
    CVideoList* list_ = nullptr;
    wxWindow* listWindow_ = nullptr;  // the same, as the splitter's pane
    std::string path_;                // the folder shown
    wxImageList* thumbs_ = nullptr;
    CPlayerPanel* player_ = nullptr;
    int sash_ = -1, splitWidth_ = 0;  // the divider before full screen
    bool restoreSash_ = false;
    wxTimer refresh_;
    std::mutex dirtyMutex_;
};

}  // namespace calvex
