// CLumoraView: model, commands, clicks and the loaders.
#include "lumora/LumoraView.h"

#include <wx/dcclient.h>
#include <wx/menu.h>
#include <wx/toplevel.h>

#include "common/DibImage.h"
#include "common/FolderDialog.h"
#include "lumora/MainFrm.h"
#include "lumora/Resource.h"
#include "lumora/ViewLayout.h"
#include "platform/Paths.h"

using namespace lumora;

namespace {
std::string& StartFolderValue() {
    static std::string folder;
    return folder;
}
}  // namespace

namespace lumora {
void SetStartFolder(const std::string& folder) { StartFolderValue() = folder; }
const std::string& StartFolder() { return StartFolderValue(); }
}  // namespace lumora

CImageCanvas::CImageCanvas(wxWindow* parent, CLumoraView* view)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE | wxWANTS_CHARS),
      view_(view) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    thumbs_ = std::make_unique<CThumbLoader>([this](uint64_t ticket, int slot, std::shared_ptr<const Thumb> t) {
        CallAfter([this, ticket, slot, t] {
            if (view_) view_->ThumbArrived(ticket, slot, t);
        });
    });
    single_ = std::make_unique<CSingleLoader>([this](uint64_t ticket, std::shared_ptr<CDibImage> image) {
        CallAfter([this, ticket, image] {
            if (view_) view_->SingleArrived(ticket, image);
        });
    });
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
        wxPaintDC dc(this);
        if (view_) view_->OnDraw(&dc);
    });
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
        if (view_) view_->OnLeftDown(e);
    });
    Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& e) {
        if (view_) view_->OnLeftDouble(e);
    });
    Bind(wxEVT_CONTEXT_MENU, [this](wxContextMenuEvent& e) {
        if (view_) view_->OnContextMenu(e);
    });
    Bind(wxEVT_MOUSEWHEEL, [this](wxMouseEvent& e) {
        if (view_) view_->OnWheel(e);
    });
    Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        e.Skip();
        if (view_) view_->OnCanvasSize();
    });
}

CImageCanvas::~CImageCanvas() {
    // Workers first: after this no result can be queued for a dying window.
    thumbs_.reset();
    single_.reset();
}

wxIMPLEMENT_DYNAMIC_CLASS(CLumoraView, wxView);

wxBEGIN_EVENT_TABLE(CLumoraView, wxView)
    EVT_MENU(wxID_OPEN, CLumoraView::OnOpen)
    EVT_MENU(wxID_NEW, CLumoraView::OnNew)
    EVT_MENU_RANGE(ItemId(ID_ARRANGE_NAME), ItemId(ID_DELETE), CLumoraView::OnCommand)
    EVT_UPDATE_UI_RANGE(ItemId(ID_ARRANGE_NAME), ItemId(ID_DELETE), CLumoraView::OnUpdateCommand)
    EVT_MENU(wxID_SAVEAS, CLumoraView::OnCommand)
    EVT_UPDATE_UI(wxID_SAVEAS, CLumoraView::OnUpdateCommand)
    EVT_TIMER(ID_SLIDE_TIMER, CLumoraView::OnSlideTick)
wxEND_EVENT_TABLE()

CLumoraView::CLumoraView() : slideTimer_(this, ID_SLIDE_TIMER) {}

CLumoraView::~CLumoraView() {
    slideTimer_.Stop();
    if (canvas_) canvas_->Detach();
}

bool CLumoraView::OnCreate(wxDocument* doc, long flags) {
    if (!wxView::OnCreate(doc, flags)) return false;
    wxFrame* frame = CMainFrame::Current();
    if (!frame) return false;
    SetFrame(frame);
    canvas_ = new CImageCanvas(frame, this);
    frame->SendSizeEvent();
    Activate(true);
    // The start folder becomes the working folder and is scanned at once.
    folder_ = StartFolder();
    plat::SetCurrentDir(folder_);
    RefreshFolder();
    return true;
}

bool CLumoraView::OnClose(bool deleteWindow) {
    if (!wxView::OnClose(deleteWindow)) return false;
    slideTimer_.Stop();
    Activate(false);
    if (deleteWindow && canvas_) {
        canvas_->Detach();
        canvas_->Destroy();
        canvas_ = nullptr;
    }
    return true;
}

// The framework's initial update (also after Ctrl+N) runs First.
void CLumoraView::OnUpdate(wxView*, wxObject*) { RunCommand(ID_FIRST); }

void CLumoraView::SetFolder(const std::string& folder) {
    folder_ = folder;
    plat::SetCurrentDir(folder_);
}

void CLumoraView::RefreshFolder() {
    // The single image keeps what it holds: the image commands act on it.
    folderRead_ = list_.Refresh(folder_);
    if (canvas_) canvas_->Thumbs().Forget();
    if (list_.Count() > 0) LoadPage();
    else for (auto& s : slots_) s = Slot{};
    if (canvas_) canvas_->Refresh();
}

void CLumoraView::LoadPage(bool keepShown) {
    for (auto& s : slots_) {
        if (keepShown && s.thumb) s.stale = true;
        else s = Slot{};
    }
    if (!keepShown)
        for (auto& c : shown_) c = CellShown{};
    if (!canvas_) return;
    const wxSize client = canvas_->GetClientSize();
    int boxW = 0, boxH = 0;
    ThumbnailBox(client.x, client.y, boxW, boxH);
    std::vector<ThumbJob> page, next;
    for (int k = 0; k < list_.PageCount(); ++k) {
        ThumbJob job{list_.Entry(size_t(list_.PageFirst() + k)).path, boxW, boxH};
        Slot& s = slots_[size_t(k)];
        if (auto known = canvas_->Thumbs().Cached(job)) {
            s = Slot{};
            s.thumb = std::move(known);
        } else {
            s.waiting = true;
        }
        page.push_back(job);
    }
    const size_t nextFirst = size_t(list_.PageFirst() + kPageSize);
    for (size_t i = nextFirst; i < list_.Count() && i < nextFirst + kPageSize; ++i)
        next.push_back({list_.Entry(i).path, boxW, boxH});
    pageTicket_ = canvas_->Thumbs().LoadPage(page, next);
}

void CLumoraView::LoadSingle() {
    if (!canvas_) return;
    // Decoded ahead (slide show): shown at once, any load on its way ignored.
    if (auto ready = canvas_->Single().TakePrefetched(list_.CurrentPath())) {
        singleTicket_ = 0;
        singleWaiting_ = false;
        single_ = std::move(ready);
        return;
    }
    singleWaiting_ = true;
    singleTicket_ = canvas_->Single().Load(list_.CurrentPath());
}

void CLumoraView::ThumbArrived(uint64_t ticket, int slot, std::shared_ptr<const Thumb> thumb) {
    if (ticket != pageTicket_ || slot < 0 || slot >= kPageSize) return;
    Slot& s = slots_[size_t(slot)];
    s.waiting = false;
    if (!s.thumb || s.stale) {
        s.thumb = std::move(thumb);
        s.pixels = wxImage();
        s.stale = false;
    }
    if (canvas_ && !list_.Single()) {
        const CellRect r = LayoutCell(slot, canvas_->GetClientSize().x, canvas_->GetClientSize().y).cell;
        canvas_->RefreshRect(wxRect(r.left - 1, r.top - 1, r.Width() + 2, r.Height() + 60));
    }
}

void CLumoraView::SingleArrived(uint64_t ticket, std::shared_ptr<CDibImage> image) {
    if (ticket != singleTicket_) return;
    singleWaiting_ = false;
    single_ = std::move(image);
    if (canvas_ && list_.Single()) canvas_->Refresh();
}

bool CLumoraView::Loading() const {
    if (singleWaiting_) return true;
    for (int k = 0; k < list_.PageCount(); ++k)
        if (slots_[size_t(k)].waiting) return true;
    return false;
}

void CLumoraView::AfterNavigation() {
    if (list_.Single()) LoadSingle();
    else LoadPage();
    if (canvas_) canvas_->Refresh();
}

bool CLumoraView::IsEnabled(int command) const {
    switch (command) {
    case ID_NEXT:
    case ID_LAST: return list_.CanNext();
    case ID_PREVIOUS:
    case ID_FIRST: return list_.CanPrevious();
    case ID_MULTI_IMAGE: return list_.Single();
    case ID_FILE_SAVE_AS: return list_.CurrentIndex() >= 0 && size_t(list_.CurrentIndex()) < list_.Count();
    // Not while a slide show changes the current entry under them.
    case ID_RENAME:
    case ID_SET_WALLPAPER:
    case ID_SET_STARTUP:
    case ID_DELETE: return !SlideShowRunning() && size_t(list_.CurrentIndex()) < list_.Count();
    // A running show can always be stopped, also after a change of mode.
    case ID_SLIDE_SHOW:
        return SlideShowRunning() ||
               (list_.Single() && list_.CurrentIndex() >= 0 && size_t(list_.CurrentIndex()) < list_.Count());
    case ID_SLIDE_DELAY: return true;
    default: return true;
    }
}

bool CLumoraView::RunCommand(int command) {
    if (!IsEnabled(command)) return false;
    switch (command) {
    case ID_NEXT: list_.Next(); break;
    case ID_PREVIOUS: list_.Previous(); break;
    case ID_FIRST: list_.First(); break;
    case ID_LAST: list_.Last(); break;
    case ID_MULTI_IMAGE:
        list_.ShowMulti();
        LoadPage();
        if (canvas_) canvas_->Refresh();
        return true;
    case ID_ARRANGE_NAME:
    case ID_ARRANGE_DATE:
    case ID_ARRANGE_TYPE:
        list_.SetSortMode(command == ID_ARRANGE_NAME ? kSortByName : command == ID_ARRANGE_DATE ? kSortByDate : kSortByType);
        [[fallthrough]];
    case ID_REFRESH: RefreshFolder(); return true;
    case ID_FILE_SAVE_AS: SaveAs(); return true;
    case ID_SET_WALLPAPER: SetWallpaper(); return true;
    case ID_SET_STARTUP: SetStartup(); return true;
    case ID_RENAME: RenameCurrent(); return true;
    case ID_DELETE: DeleteCurrent(); return true;
    case ID_SLIDE_SHOW: ToggleSlideShow(); return true;
    case ID_SLIDE_DELAY: AskSlideDelay(); return true;
    default: return false;
    }
    AfterNavigation();
    return true;
}

void CLumoraView::OnCommand(wxCommandEvent& e) {
    const int command = e.GetId() == wxID_SAVEAS ? ID_FILE_SAVE_AS : e.GetId() + 16384;
    if (!RunCommand(command)) e.Skip();
}

void CLumoraView::OnUpdateCommand(wxUpdateUIEvent& e) {
    const int command = e.GetId() == wxID_SAVEAS ? ID_FILE_SAVE_AS : e.GetId() + 16384;
    e.Enable(IsEnabled(command));
    if (command == ID_SLIDE_SHOW) e.Check(SlideShowRunning());
}

void CLumoraView::OnLeftDown(wxMouseEvent& e) {
    e.Skip();
    if (list_.Single() || !canvas_) return;
    const wxSize c = canvas_->GetClientSize();
    const int k = HitCell(e.GetX(), e.GetY(), list_.PageCount(), c.x, c.y);
    if (k < 0) return;
    const int old = list_.SelectedCell();
    list_.Select(k);
    for (int cell : {old, k}) {
        const CellLayout l = LayoutCell(cell, c.x, c.y);
        canvas_->RefreshRect(wxRect(l.cell.left - 1, l.cell.top - 1, l.cell.Width() + 2, l.sizeY - l.cell.top + 40));
    }
    LoadSingle();
}

void CLumoraView::OnLeftDouble(wxMouseEvent& e) {
    if (list_.Single() || !canvas_) return;
    const wxSize c = canvas_->GetClientSize();
    const int k = HitCell(e.GetX(), e.GetY(), list_.PageCount(), c.x, c.y);
    if (k < 0) return;
    // The button-down before every double click already loads the entry.
    if (list_.CurrentIndex() != list_.PageFirst() + k || !single_) LoadSingle();
    list_.ShowSingle(k);
    canvas_->Refresh();
}

void CLumoraView::OnWheel(wxMouseEvent& e) {
    if (e.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL) {
        e.Skip();
        return;
    }
    const int notch = e.GetWheelDelta() > 0 ? e.GetWheelDelta() : 120;
    // A turn the other way starts counting afresh; a touchpad's small steps
    // add up to a notch.
    if ((wheel_ < 0) != (e.GetWheelRotation() < 0)) wheel_ = 0;
    wheel_ += e.GetWheelRotation();
    for (; wheel_ <= -notch; wheel_ += notch) RunCommand(ID_NEXT);
    for (; wheel_ >= notch; wheel_ -= notch) RunCommand(ID_PREVIOUS);
}

// A thumbnail reduced for a smaller window is drawn again from the picture
// as it was loaded, when that covers the new cell, else loaded again for the
// new size (from the memory or the thumbnail cache, mostly).
void CLumoraView::OnCanvasSize() {
    if (!canvas_ || list_.Single()) return;
    const wxSize c = canvas_->GetClientSize();
    bool reload = false;
    for (int k = 0; k < list_.PageCount(); ++k) {
        Slot& s = slots_[size_t(k)];
        const Thumb* t = s.thumb.get();
        if (!t || !t->ok || !s.pixels.IsOk()) continue;
        const Fitted f = FitInCell(t->width, t->height, LayoutCell(k, c.x, c.y).cell);
        if (f.width <= s.pixels.GetWidth() && f.height <= s.pixels.GetHeight()) continue;
        if (f.width <= t->pixW && f.height <= t->pixH) s.pixels = wxImage();
        else reload = true;
    }
    if (reload) LoadPage(true);
}

void CLumoraView::OnContextMenu(wxContextMenuEvent& e) {
    if (!list_.Single() || !canvas_) return;
    std::unique_ptr<wxMenu> menu(CMainFrame::ImagePopup());
    wxPoint pos = e.GetPosition();
    pos = pos == wxDefaultPosition ? wxDefaultPosition : canvas_->ScreenToClient(pos);
    canvas_->PopupMenu(menu.get(), pos);
}

void CLumoraView::SetFrameTitle(const wxString& title) {
    auto* frame = dynamic_cast<wxTopLevelWindow*>(GetFrame());
    if (frame && frame->GetTitle() != title) frame->SetTitle(title);
}

// Open: the folder picker starts at the current folder; a new choice becomes
// the working folder. The folder is scanned again also after Cancel.
void CLumoraView::OnOpen(wxCommandEvent&) {
    std::string start = folder_;
    if (start.size() > 1 && start.back() == '/') start.pop_back();
    CFolderDialog dlg(start, 0, canvas_, "Select Directory");
    if (dlg.ShowModal() == CFolderDialog::kOk && dlg.ChosenFolder() != folder_) SetFolder(dlg.ChosenFolder());
    RefreshFolder();
}

// A new document (Ctrl+N) keeps this view and its folder: the document's
// title is set again and the view goes to the first entry, as at start.
void CLumoraView::OnNew(wxCommandEvent&) {
    if (GetDocument()) GetDocument()->OnNewDocument();
    OnUpdate(nullptr, nullptr);
}
