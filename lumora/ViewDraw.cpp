// CLumoraView's painting: the background, one fitted image, or the page of
// cells with tiles, thumbnails and labels. A printer page shows the same
// layout on 800 x 600 units scaled to the printable area with the aspect kept.
#include <wx/dc.h>
#include <wx/frame.h>
#include <wx/graphics.h>
#include <wx/prntbase.h>

#include "common/DibImage.h"
#include "lumora/Artwork.h"
#include "lumora/LumoraView.h"
#include "lumora/Resource.h"
#include "lumora/Thumbnail.h"
#include "lumora/ViewLayout.h"

using namespace lumora;

namespace {

const wxColour kBackground(89, 80, 70), kOutline(120, 5, 39), kSelected(0, 255, 255);
const wxColour kEmptyTitle(240, 232, 220), kEmptyText(205, 195, 182);
constexpr int kTiles[3] = {IDB_TILE_COLUMN0, IDB_TILE_COLUMN1, IDB_TILE_COLUMN2};
constexpr int kPrintWidth = 800, kPrintHeight = 600;

// The view's one page: 800 x 600 units fill the printable area, aspect kept.
class CImagePrintout : public wxPrintout {
public:
    explicit CImagePrintout(CLumoraView* view) : wxPrintout("Quorvel"), view_(view) {}
    bool HasPage(int page) override { return page == 1; }
    void GetPageInfo(int* minPage, int* maxPage, int* from, int* to) override {
        *minPage = *maxPage = *from = *to = 1;
    }
    bool OnPrintPage(int page) override {
        if (page != 1 || !GetDC()) return false;
        FitThisSizeToPage(wxSize(kPrintWidth, kPrintHeight));
        view_->OnDraw(GetDC());
        return true;
    }

private:
    CLumoraView* view_;
};

// A wxImage holding a copy of the thumbnail's pixels.
wxImage ToImage(const Thumb& t) {
    wxImage img(t.pixW, t.pixH, false);
    std::copy(t.rgb.begin(), t.rgb.end(), img.GetData());
    return img;
}

// The picture reduced to w x h by area averaging.
wxImage Reduce(const wxImage& src, int w, int h) {
    std::vector<uint8_t> out;
    ReduceArea(src.GetData(), src.GetWidth(), src.GetHeight(), w, h, out);
    wxImage img(w, h, false);
    std::copy(out.begin(), out.end(), img.GetData());
    return img;
}

wxString Label(const Thumb* t) {
    const int w = t ? t->width : 0, h = t ? t->height : 0, c = t ? t->colours : 0;
    return c == 0 ? wxString::Format("%dx%dx16M", w, h) : wxString::Format("%dx%dx%d", w, h, c);
}

}  // namespace

// A name or path as it is on disk, shown as UTF-8, else byte by byte.
wxString CLumoraView::NameText(const std::string& name) {
    wxString s = wxString::FromUTF8(name);
    return s.empty() && !name.empty() ? wxString(name.c_str(), wxConvISO8859_1) : s;
}

wxPrintout* CLumoraView::OnCreatePrintout() { return new CImagePrintout(this); }

void CLumoraView::OnDraw(wxDC* pdc) {
    wxDC& dc = *pdc;
    // Printer and preview contexts belong to no window.
    const bool printing = dc.GetWindow() == nullptr;
    int cw = 0, ch = 0;
    if (printing) {
        cw = kPrintWidth, ch = kPrintHeight;  // the printout maps them onto the page
    } else if (canvas_) {
        canvas_->GetClientSize(&cw, &ch);
    }
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(kBackground));
    dc.DrawRectangle(0, 0, cw, ch);
    if (list_.Single()) DrawSingle(dc, cw, ch, printing);
    else DrawPage(dc, cw, ch, printing);
}

void CLumoraView::DrawSingle(wxDC& dc, int cw, int ch, bool printing) {
    if (!single_) return;
    SetFrameTitle(NameText(list_.CurrentPath()));
    if (single_->Width() <= 0 || !single_->PixelBlock()) return;
    const Fitted f = FitSingle(single_->Width(), single_->Height(), cw, ch);
    if (printing) {
        // The print keeps the screen's picture; only the page is reduced.
        wxImage img;
        if (single_->ToImage(img)) dc.DrawBitmap(wxBitmap(Reduce(img, f.width, f.height)), f.x, f.y);
        return;
    }
    // Reduced once in place; a larger window later does not enlarge it again.
    single_->Scale(f.width, f.height);
    single_->Draw(dc, f.x, f.y);
}

void CLumoraView::DrawPage(wxDC& dc, int cw, int ch, bool printing) {
    for (int k = 0; k < list_.PageCount(); ++k) DrawCell(dc, k, cw, ch, printing);
    if (list_.Count() == 0 && !printing) DrawEmptyFolder(dc, cw, ch);
    SetFrameTitle("Quorvel");
}

// A folder without pictures says so, and what to do about it.
void CLumoraView::DrawEmptyFolder(wxDC& dc, int cw, int ch) {
    const wxString title = folderRead_ ? "No pictures in this folder" : "This folder cannot be opened";
    const wxString lines[] = {
        NameText(folder_),
        folderRead_ ? "Pictures of the types BMP, GIF, JPG, PCX, TGA and TIF are shown here." :
                      "It does not exist, or you may not read it.",
        "Choose another folder with File > Open (Ctrl+O).",
    };
    const wxFont normal = *wxNORMAL_FONT, big = normal.Scaled(1.5f).Bold();
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetFont(big);
    const wxSize head = dc.GetTextExtent(title);
    dc.SetFont(normal);
    const int lineH = dc.GetCharHeight() + dc.GetCharHeight() / 3;
    int y = (ch - head.y - lineH * 4) / 2;
    dc.SetFont(big);
    dc.SetTextForeground(kEmptyTitle);
    dc.DrawText(title, (cw - head.x) / 2, y);
    y += head.y + lineH;
    dc.SetFont(normal);
    dc.SetTextForeground(kEmptyText);
    for (const wxString& line : lines) {
        dc.DrawText(line, (cw - dc.GetTextExtent(line).x) / 2, y);
        y += lineH;
    }
}

// A brush made from a bitmap copies the bitmap each time it is set; on the
// screen the view keeps one per column.
void CLumoraView::FillTile(wxDC& dc, int column, const wxBitmap& tile, const CellRect& r, bool printing) {
    wxGraphicsContext* gc = printing ? nullptr : dc.GetGraphicsContext();
    if (!gc) {
        dc.SetBrush(wxBrush(tile));
        dc.DrawRectangle(r.left, r.top, r.Width(), r.Height());
        return;
    }
    wxGraphicsBrush& brush = tileBrushes_[size_t(column)];
    if (brush.IsNull()) brush = gc->CreateBrush(wxBrush(tile));
    gc->SetPen(*wxTRANSPARENT_PEN);
    gc->SetBrush(brush);
    gc->DrawRectangle(r.left, r.top, r.Width(), r.Height());
}

void CLumoraView::DrawCell(wxDC& dc, int k, int cw, int ch, bool printing) {
    const CellLayout l = LayoutCell(k, cw, ch);
    const CellRect& r = l.cell;
    CellShown shown;
    shown.name = list_.Entry(size_t(list_.PageFirst() + k)).name;
    if (r.Width() <= 0 || r.Height() <= 0) return;  // a window too small for cells
    const wxBitmap tile = TileBitmap(kTiles[k % 3]);
    if (tile.IsOk()) {
        // The tile fill leaves a thin outline around the cell.
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(kOutline));
        dc.DrawRectangle(r.left - 1, r.top - 1, r.Width() + 2, r.Height() + 2);
        FillTile(dc, k % 3, tile, r, printing);
    }
    Slot& s = slots_[size_t(k)];
    const Thumb* t = s.thumb.get();
    if (t && t->ok) {
        if (!s.pixels.IsOk()) s.pixels = ToImage(*t);
        // The first fit places the picture by the size stored in the file;
        // later fits start from the picture as it was last reduced.
        Fitted f = FitInCell(t->width, t->height, r);
        if (f.width != s.pixels.GetWidth() || f.height != s.pixels.GetHeight())
            f = FitInCell(s.pixels.GetWidth(), s.pixels.GetHeight(), r);
        wxImage pic = s.pixels;
        if (f.width < pic.GetWidth() || f.height < pic.GetHeight()) {
            pic = Reduce(pic, f.width, f.height);
            if (!printing) s.pixels = pic;
        }
        dc.DrawBitmap(wxBitmap(pic), f.x, f.y);
        shown.drawn = true;
        shown.x = f.x, shown.y = f.y, shown.width = pic.GetWidth(), shown.height = pic.GetHeight();
    }
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(*wxBLACK);
    dc.DrawText(NameText(shown.name), l.nameX, l.nameY);
    if (t) {
        shown.size = Label(t).ToStdString();
        if (k == list_.SelectedCell()) dc.SetTextForeground(kSelected);
        dc.DrawText(Label(t), l.sizeX, l.sizeY);
    }
    if (!printing) shown_[size_t(k)] = shown;
}
