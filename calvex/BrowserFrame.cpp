// The video browser window: list, player and the file commands.
#include "calvex/BrowserFrame.h"

#include <wx/artprov.h>
#include <wx/display.h>
#include <wx/imaglist.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/textdlg.h>
#include <wx/toolbar.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "calvex/PlayerPanel.h"
#include "platform/Process.h"
#include "platform/Trash.h"

namespace calvex {
namespace {

constexpr int kThumbW = 96, kThumbH = 72;
enum { ID_PLAY = wxID_HIGHEST + 1, ID_OPEN_WITH, ID_RENAME, ID_TRASH, ID_FULL, ID_REFRESH, ID_STEP_BACK, ID_STEP_ON };

const char* const kHeads[] = {"Name", "Duration", "Size", "Date", "Format"};

// The preview letterboxed into the list's picture cell.
wxBitmap Cell(const Frame* f) {
    wxImage cell(kThumbW, kThumbH);
    const wxColour bg(38, 38, 42);
    cell.SetRGB(wxRect(0, 0, kThumbW, kThumbH), bg.Red(), bg.Green(), bg.Blue());
    if (f && !f->rgb.empty()) {
        wxImage img(f->width, f->height);
        std::copy(f->rgb.begin(), f->rgb.end(), img.GetData());
        const double s = std::min(double(kThumbW) / f->width, double(kThumbH) / f->height);
        const int w = std::max(1, int(f->width * s)), h = std::max(1, int(f->height * s));
        img.Rescale(w, h, wxIMAGE_QUALITY_BOX_AVERAGE);
        cell.Paste(img, (kThumbW - w) / 2, (kThumbH - h) / 2);
    }
    return wxBitmap(cell);
}

std::string DateText(time_t t) {
    char buf[64];
    struct tm tm {};
    localtime_r(&t, &tm);
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    return buf;
}

}  // namespace

AskFn& AskHook() {
    static AskFn hook;
    return hook;
}

// A virtual list: it asks the window for what each row shows.
class CVideoList : public wxListCtrl {
public:
    CVideoList(wxWindow* parent, CBrowserFrame* owner)
        : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                     wxLC_REPORT | wxLC_VIRTUAL | wxLC_SINGLE_SEL),
          owner_(owner) {}
    wxString OnGetItemText(long row, long col) const override { return owner_->CellText(row, col); }
    int OnGetItemColumnImage(long row, long col) const override { return col == 0 ? owner_->RowImage(row) : -1; }
    int OnGetItemImage(long row) const override { return owner_->RowImage(row); }

private:
    CBrowserFrame* owner_;
};

CBrowserFrame::CBrowserFrame(plat::HWND owner, unsigned message, const std::string& folder)
    : wxFrame(nullptr, wxID_ANY, "Recordings", wxDefaultPosition, wxSize(1180, 680)),
      owner_(owner), message_(message), refresh_(this) {
    std::string title = folder;
    while (title.size() > 1 && title.back() == '/') title.pop_back();
    SetTitle(wxString::FromUTF8("Recordings – ") + wxString::FromUTF8(title.substr(title.rfind('/') + 1)));
    SetIcon(wxArtProvider::GetIcon("video-x-generic", wxART_FRAME_ICON));
    BuildToolBar();
    split_ = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_LIVE_UPDATE | wxSP_3DSASH);
    list_ = new CVideoList(split_, this);
    listWindow_ = list_;
    path_ = folder;
    thumbs_ = new wxImageList(kThumbW, kThumbH, false);
    thumbs_->Add(Cell(nullptr));  // 0: no picture (yet)
    list_->SetImageList(thumbs_, wxIMAGE_LIST_SMALL);
    const int widths[] = {300, 64, 76, 126, 150};
    for (int c = 0; c < 5; ++c)
        list_->AppendColumn(kHeads[c], c == 1 || c == 2 ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT, widths[c]);
    player_ = new CPlayerPanel(split_, [this] { ToggleFullScreen(); });
    split_->SetMinimumPaneSize(240);
    split_->SetSashGravity(0.5);
    split_->SplitVertically(list_, player_, 660);
    split_->Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        if (restoreSash_) CallAfter([this] { RestoreSash(); });
        e.Skip();
    });
    list_->Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        CallAfter([this] { FitColumns(); });
        e.Skip();
    });
    // A name cut by its column is shown whole in the row's tooltip.
    list_->Bind(wxEVT_MOTION, [this](wxMouseEvent& e) {
        int flags = 0;
        const long row = list_->HitTest(e.GetPosition(), flags);
        const wxString name = CellText(row, 0);
        const bool cut = row >= 0 && list_->GetTextExtent(name).x + kThumbW + 16 > list_->GetColumnWidth(0);
        if (!cut) list_->UnsetToolTip();
        else if (list_->GetToolTipText() != name) list_->SetToolTip(name);
        e.Skip();
    });
    PlaceOnScreen();
    // The divider goes to three fifths once the splitter has the window's
    // width (before that the splitter's gravity would move it).
    splitWidth_ = GetClientSize().x;
    sash_ = splitWidth_ * 60 / 100;
    restoreSash_ = true;
    CallAfter([this] { RestoreSash(); });
    CreateStatusBar();
    list_->Bind(wxEVT_LIST_COL_CLICK, &CBrowserFrame::OnColumnClick, this);
    list_->Bind(wxEVT_LIST_ITEM_SELECTED, &CBrowserFrame::OnSelected, this);
    list_->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) { PlaySelected(); });
    list_->Bind(wxEVT_LIST_ITEM_RIGHT_CLICK, [this](wxListEvent& e) {
        Select(size_t(e.GetIndex()));
        wxMenu menu;
        menu.Append(ID_PLAY, "&Play\tEnter");
        menu.Append(ID_OPEN_WITH, "&Open with the desktop's player");
        menu.AppendSeparator();
        menu.Append(ID_RENAME, "&Rename...\tF2");
        menu.Append(ID_TRASH, "Move to &Trash\tDelete");
        PopupMenu(&menu);
    });
    Bind(wxEVT_CHAR_HOOK, &CBrowserFrame::OnKey, this);
    Bind(wxEVT_CLOSE_WINDOW, &CBrowserFrame::OnClose, this);
    Bind(wxEVT_TIMER, &CBrowserFrame::OnRefreshTick, this);
    Rescan();
}

CBrowserFrame::~CBrowserFrame() {
    refresh_.Stop();
    folder_.Stop();
    // Tell the owner however the window went, once.
    if (owner_) plat::PostMessage(owner_, message_, 0, 0);
}

void CBrowserFrame::BuildToolBar() {
    wxToolBar* tb = CreateToolBar(wxTB_HORIZONTAL | wxTB_TEXT | wxTB_HORZ_LAYOUT | wxTB_FLAT);
    auto art = [](const char* name) { return wxArtProvider::GetBitmap(name, wxART_TOOLBAR, wxSize(22, 22)); };
    tb->AddTool(ID_PLAY, "Play", art("media-playback-start"), "Play the recording (Enter)");
    tb->AddTool(ID_OPEN_WITH, "Open with the desktop's player", art("document-open"),
                "Open the recording with the desktop's video player");
    tb->AddSeparator();
    tb->AddTool(ID_RENAME, "Rename", art("accessories-text-editor"), "Rename the recording (F2)");
    tb->AddTool(ID_TRASH, "Move to Trash", art("user-trash"), "Move the recording to the trash (Delete)");
    tb->AddStretchableSpace();
    tb->AddTool(ID_REFRESH, "Reload", art("view-refresh"), "Read the folder again (F5)");
    tb->AddTool(ID_FULL, "Full Screen", art("view-fullscreen"), "Full screen (F)");
    tb->Realize();
    Bind(wxEVT_TOOL, [this](wxCommandEvent&) { PlaySelected(); }, ID_PLAY);
    Bind(wxEVT_TOOL, [this](wxCommandEvent&) { OpenSelectedExternally(); }, ID_OPEN_WITH);
    Bind(wxEVT_TOOL, [this](wxCommandEvent&) { RenameSelected(""); }, ID_RENAME);
    Bind(wxEVT_TOOL, [this](wxCommandEvent&) { DeleteSelected(); }, ID_TRASH);
    Bind(wxEVT_TOOL, [this](wxCommandEvent&) { Rescan(); }, ID_REFRESH);
    Bind(wxEVT_TOOL, [this](wxCommandEvent&) { ToggleFullScreen(); }, ID_FULL);
}

void CBrowserFrame::Rescan() {
    folder_.Stop();
    player_->Clear();
    scan_ = folder_.Scan(path_);
    rows_ = folder_.Snapshot();
    images_.assign(rows_.size(), -1);
    dirty_.assign(rows_.size(), 0);
    thumbs_->RemoveAll();
    thumbs_->Add(Cell(nullptr));
    Resort();
    UpdateStatus();
    if (!rows_.empty()) Select(0);
    folder_.Fill([this](size_t i) { OnWorkerUpdate(i); });
    refresh_.Start(150);
}

void CBrowserFrame::OnWorkerUpdate(size_t index) {
    std::lock_guard<std::mutex> lock(dirtyMutex_);
    if (index < dirty_.size()) dirty_[index] = 1;
}

// Takes in what the workers found since the last tick.
void CBrowserFrame::OnRefreshTick(wxTimerEvent&) {
    std::vector<size_t> changed;
    {
        std::lock_guard<std::mutex> lock(dirtyMutex_);
        for (size_t i = 0; i < dirty_.size(); ++i)
            if (dirty_[i]) changed.push_back(i), dirty_[i] = 0;
    }
    for (size_t i : changed) {
        const std::string name = rows_[i].name, path = rows_[i].path;
        rows_[i] = folder_.Get(i);
        rows_[i].name = name, rows_[i].path = path;  // a rename here wins over a worker's copy
        if (rows_[i].framed && images_[i] < 0 && !rows_[i].frame.rgb.empty())
            images_[i] = thumbs_->Add(Cell(&rows_[i].frame));
        const long row = RowOfIndex(i);
        if (row >= 0) list_->RefreshItem(row);
        if (row >= 0 && row == Selected()) player_->Show(rows_[i]);
    }
    if (!changed.empty() && (sortColumn_ == Column::Duration || sortColumn_ == Column::Format)) Resort();
    if (!changed.empty()) UpdateStatus(), FitColumns();
    if (folder_.AllProbed() && folder_.AllFramed()) refresh_.Stop();
}

wxListCtrl* CBrowserFrame::List() const { return list_; }

// At most nine tenths of the screen's free area, centred on it.
void CBrowserFrame::PlaceOnScreen() {
    const int n = wxDisplay::GetFromWindow(this);
    const wxRect area = wxDisplay(unsigned(n == wxNOT_FOUND ? 0 : n)).GetClientArea();
    const wxSize want(std::min(GetSize().x, area.width * 9 / 10), std::min(GetSize().y, area.height * 9 / 10));
    SetSize(want);
    SetPosition({area.x + (area.width - want.x) / 2, area.y + (area.height - want.y) / 2});
}

// The columns but the name widen to their longest text; the name takes
// what is left of the pane (a name cut there shows whole in the tooltip).
void CBrowserFrame::FitColumns() {
    int others = 0;
    for (long col = 1; col < 5; ++col) {
        int w = list_->GetTextExtent(kHeads[col]).x + FromDIP(28);
        for (long row = 0; row < long(order_.size()); ++row)
            w = std::max(w, list_->GetTextExtent(CellText(row, col)).x + FromDIP(16));
        w = std::max(w, list_->GetColumnWidth(int(col)));
        list_->SetColumnWidth(int(col), w);
        others += w;
    }
    int name = FromDIP(160);
    for (long row = 0; row < long(order_.size()); ++row)
        name = std::max(name, list_->GetTextExtent(CellText(row, 0)).x + kThumbW + FromDIP(24));
    const int room = list_->GetClientSize().x - others;
    list_->SetColumnWidth(0, std::max(FromDIP(160), std::min(name, room)));
}

Recording CBrowserFrame::RowAt(size_t row) const { return row < order_.size() ? rows_[order_[row]] : Recording{}; }

long CBrowserFrame::RowOfIndex(size_t index) const { return index < rowOf_.size() ? rowOf_[index] : -1; }

wxString CBrowserFrame::CellText(long row, long col) const {
    if (row < 0 || size_t(row) >= order_.size()) return wxString();
    const Recording& r = rows_[order_[size_t(row)]];
    switch (col) {
    case 0: return wxString::FromUTF8(r.name);
    case 1: return !r.probed ? wxString::FromUTF8("…") : wxString::FromUTF8(FormatDuration(r.info.duration));
    case 2: return wxString::FromUTF8(FormatSize(r.size));
    case 3: return wxString::FromUTF8(DateText(r.mtime));
    case 4: return !r.probed ? wxString() : r.info.ok ? wxString::FromUTF8(r.info.format) : wxString("damaged or unknown");
    }
    return wxString();
}

int CBrowserFrame::RowImage(long row) const {
    if (row < 0 || size_t(row) >= order_.size()) return 0;
    const int img = images_[order_[size_t(row)]];
    return img < 0 ? 0 : img;
}

void CBrowserFrame::Resort() {
    const long sel = Selected();
    const size_t keep = sel >= 0 ? order_[size_t(sel)] : size_t(-1);
    order_.clear();
    rowOf_.assign(rows_.size(), -1);
    for (size_t i : SortOrder(rows_, sortColumn_, ascending_))
        if (!folder_.Gone(i)) rowOf_[i] = long(order_.size()), order_.push_back(i);
    list_->SetItemCount(long(order_.size()));
    list_->ShowSortIndicator(int(sortColumn_), ascending_);
    list_->Refresh();
    if (keep != size_t(-1)) {
        const long row = RowOfIndex(keep);
        if (row >= 0) Select(size_t(row));
    }
}

void CBrowserFrame::SortBy(Column c, bool ascending) {
    sortColumn_ = c;
    ascending_ = ascending;
    Resort();
}

void CBrowserFrame::OnColumnClick(wxListEvent& e) {
    const Column c = Column(e.GetColumn());
    // A new column starts the way users expect: names A to Z, the rest
    // largest or newest first.
    if (c == sortColumn_) SortBy(c, !ascending_);
    else SortBy(c, c == Column::Name || c == Column::Format);
}

void CBrowserFrame::Select(size_t row) {
    if (row >= order_.size()) return;
    list_->SetItemState(long(row), wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                        wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    list_->EnsureVisible(long(row));
    ShowSelection();
}

long CBrowserFrame::Selected() const { return list_->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); }

void CBrowserFrame::OnSelected(wxListEvent&) { ShowSelection(); }

void CBrowserFrame::ShowSelection() {
    const long row = Selected();
    if (row < 0) player_->Clear();
    else player_->Show(rows_[order_[size_t(row)]]);
}

void CBrowserFrame::PlaySelected() {
    if (Selected() >= 0) player_->Play();
}

void CBrowserFrame::OpenSelectedExternally() {
    const long row = Selected();
    if (row < 0) return;
    const Recording& r = rows_[order_[size_t(row)]];
    player_->Release(r.path);
    if (!plat::OpenDocument(r.path))
        Ask("The desktop has no program to open " + wxString::FromUTF8(r.name) + ".", wxOK | wxICON_ERROR);
}

}  // namespace calvex
