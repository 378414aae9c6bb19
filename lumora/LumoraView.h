// CLumoraView: the browser's only view. It owns the list model, the nine
// thumbnails of the page and the single image, paints them (on the screen,
// and on a printer page of 800 x 600 units), turns clicks into a selection
// and runs the navigation commands. Its window is a CImageCanvas that fills
// the frame; thumbnails and the single image load on worker threads and the
// page is repainted as each one arrives.
#pragma once
#include <array>
#include <functional>
#include <memory>
#include <string>

#include <wx/docview.h>
#include <wx/graphics.h>
#include <wx/timer.h>
#include <wx/window.h>

#include "lumora/ImageList.h"
#include "lumora/Loader.h"
#include "lumora/ViewLayout.h"

class CDibImage;
class CLumoraView;

// The window the view paints; it forwards paint, mouse and loader results.
class CImageCanvas : public wxWindow {
public:
    CImageCanvas(wxWindow* parent, CLumoraView* view);
    ~CImageCanvas() override;
    void Detach() { view_ = nullptr; }
    lumora::CThumbLoader& Thumbs() { return *thumbs_; }
    lumora::CSingleLoader& Single() { return *single_; }

private:
    CLumoraView* view_;
    std::unique_ptr<lumora::CThumbLoader> thumbs_;
    std::unique_ptr<lumora::CSingleLoader> single_;
};

class CLumoraView : public wxView {
public:
    CLumoraView();
    ~CLumoraView() override;

    bool OnCreate(wxDocument* doc, long flags) override;
    bool OnClose(bool deleteWindow) override;
    void OnDraw(wxDC* dc) override;
    void OnUpdate(wxView* sender, wxObject* hint) override;
    // One page showing the screen's layout on 800 x 600 units.
    wxPrintout* OnCreatePrintout() override;

    // Rescans the current folder (Refresh) and shows its first page.
    void RefreshFolder();
    void SetFolder(const std::string& folder);
    const std::string& Folder() const { return folder_; }
    lumora::CImageList& Model() { return list_; }
    CImageCanvas* Canvas() const { return canvas_; }
    // Runs a command the way the menu does: only when enabled.
    bool RunCommand(int command);
    bool IsEnabled(int command) const;

    // Loader results, on the user-interface thread.
    void ThumbArrived(uint64_t ticket, int slot, std::shared_ptr<const lumora::Thumb> thumb);
    void SingleArrived(uint64_t ticket, std::shared_ptr<CDibImage> image);
    // True while a thumbnail of the page or the single image is still loading.
    bool Loading() const;
    // What a cell shows: picture size and place (0 x 0 when none) and labels.
    struct CellShown {
        bool drawn = false;
        int x = 0, y = 0, width = 0, height = 0;
        std::string name, size;
    };
    CellShown Shown(int cell) const { return shown_[size_t(cell)]; }
    const CDibImage* SingleImage() const { return single_.get(); }

    void OnLeftDown(wxMouseEvent& e);
    void OnLeftDouble(wxMouseEvent& e);
    void OnContextMenu(wxContextMenuEvent& e);
    // The wheel pages like Next and Previous, one step per notch.
    void OnWheel(wxMouseEvent& e);
    // A larger window: thumbnails drawn again at the larger size.
    void OnCanvasSize();

    // ---- Image commands and the slide show (ImageCommands.cpp) -----------
    // The Save As dialog: what it is opened with and what the user chose
    // (filter index 1..6 as in the type list). Tests answer it through the
    // hook; without one the platform's file dialog is shown.
    struct SaveRequest {
        wxString wildcard;
        int filterIndex = 1;
        std::string folder, name;
    };
    struct SaveAnswer {
        bool ok = false;
        std::string path;
        int filterIndex = 1;
    };
    using SaveDialogFn = std::function<SaveAnswer(const SaveRequest&)>;
    static SaveDialogFn& SaveDialogHook();
    // The file type last chosen in Save As, for the whole process.
    static int& SaveFilterIndex();
    bool SlideShowRunning() const { return slideTimer_.IsRunning(); }
    int SlideDelay() const { return slideDelay_; }

private:
    void SaveAs();
    SaveAnswer AskSavePath(const SaveRequest& request);
    void SetWallpaper();
    void SetStartup();
    bool SaveSingleTo(const std::string& path);
    void RenameCurrent();
    void DeleteCurrent();
    void ToggleSlideShow();
    void AskSlideDelay();
    void OnSlideTick(wxTimerEvent& e);
    void StopSlideShowAtFirst();
    void PrefetchNext();
    void OnCommand(wxCommandEvent& e);
    void OnUpdateCommand(wxUpdateUIEvent& e);
    void OnOpen(wxCommandEvent& e);
    void OnNew(wxCommandEvent& e);
    // keepShown: the pictures on show stay until their new ones arrive.
    void LoadPage(bool keepShown = false);
    void LoadSingle();
    void AfterNavigation();
    void DrawSingle(wxDC& dc, int cw, int ch, bool printing);
    void DrawPage(wxDC& dc, int cw, int ch, bool printing);
    void DrawEmptyFolder(wxDC& dc, int cw, int ch);
    void DrawCell(wxDC& dc, int k, int cw, int ch, bool printing);
    void FillTile(wxDC& dc, int column, const wxBitmap& tile, const lumora::CellRect& r, bool printing);
    void SetFrameTitle(const wxString& title);
    static wxString NameText(const std::string& name);

    lumora::CImageList list_;
    std::string folder_;
    bool folderRead_ = true;  // the last Refresh could read the folder
    int wheel_ = 0;           // wheel rotation not yet turned into a step
    CImageCanvas* canvas_ = nullptr;
    struct Slot {
        bool waiting = false;
        bool stale = false;  // shown until the thumbnail for a new size arrives
        std::shared_ptr<const lumora::Thumb> thumb;
        wxImage pixels;  // the picture as last reduced
    };
    std::array<Slot, lumora::kPageSize> slots_;
    std::array<CellShown, lumora::kPageSize> shown_;
    std::array<wxGraphicsBrush, 3> tileBrushes_;  // the cells' tile fills, one per column
    uint64_t pageTicket_ = 0, singleTicket_ = 0;
    std::shared_ptr<CDibImage> single_;
    bool singleWaiting_ = false;
    wxTimer slideTimer_;
    int slideDelay_ = 1000;

    wxDECLARE_DYNAMIC_CLASS(CLumoraView);
    wxDECLARE_EVENT_TABLE();
};

namespace lumora {
// The folder the first view starts in; set by the program before the view is
// created.
void SetStartFolder(const std::string& folder);
const std::string& StartFolder();
}  // namespace lumora
