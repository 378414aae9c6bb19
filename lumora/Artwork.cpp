// Toolbar buttons, cell tiles and the icon, drawn with wxGraphicsContext.
#include "lumora/Artwork.h"

#include <cmath>
#include <map>
#include <memory>

#include <wx/brush.h>
#include <wx/graphics.h>
#include <wx/pen.h>
#include <wx/image.h>

#include "lumora/Resource.h"

namespace lumora {
namespace {

// The viewer's palette: graphite body, light glyphs, green accent.
const wxColour kBodyLight(58, 62, 70), kBodyDark(18, 19, 23), kRim(96, 102, 114);
const wxColour kGlyph(220, 226, 234), kGlow(90, 255, 130), kGlyphOff(150, 154, 162), kRed(235, 48, 48);

struct Canvas {
    wxImage image;
    std::unique_ptr<wxGraphicsContext> gc;
    Canvas(int w, int h, bool clear) : image(w, h) {
        image.InitAlpha();
        if (clear) std::fill_n(image.GetAlpha(), w * h, 0);
        gc.reset(wxGraphicsContext::Create(image));
        gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    }
    wxBitmap Finish() {
        gc.reset();
        return wxBitmap(image);
    }
};

void Stroke(wxGraphicsContext& gc, const wxGraphicsPath& p, const wxColour& c, double w) {
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(c, w).Cap(wxCAP_ROUND).Join(wxJOIN_ROUND)));
    gc.SetBrush(*wxTRANSPARENT_BRUSH);
    gc.StrokePath(p);
}

void Fill(wxGraphicsContext& gc, const wxGraphicsPath& p, const wxColour& c) {
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.SetBrush(gc.CreateBrush(wxBrush(c)));
    gc.FillPath(p);
}

wxGraphicsPath Poly(wxGraphicsContext& gc, std::initializer_list<wxPoint2DDouble> pts, bool close = true) {
    wxGraphicsPath p = gc.CreatePath();
    bool first = true;
    for (const auto& q : pts) {
        if (first) p.MoveToPoint(q);
        else p.AddLineToPoint(q);
        first = false;
    }
    if (close) p.CloseSubpath();
    return p;
}

wxGraphicsPath Rect(wxGraphicsContext& gc, double x, double y, double w, double h, double r = 0) {
    wxGraphicsPath p = gc.CreatePath();
    if (r > 0) p.AddRoundedRectangle(x, y, w, h, r);
    else p.AddRectangle(x, y, w, h);
    return p;
}

void Triangle(wxGraphicsContext& gc, double x, double cy, double s, bool right, const wxColour& c) {
    if (right) Fill(gc, Poly(gc, {{x, cy - s}, {x + s * 1.2, cy}, {x, cy + s}}), c);
    else Fill(gc, Poly(gc, {{x + s * 1.2, cy - s}, {x, cy}, {x + s * 1.2, cy + s}}), c);
}

// Glyphs on a 40 x 40 button, centre (20, 20).
void Glyph(wxGraphicsContext& gc, int command, const wxColour& c, const wxColour& accent) {
    switch (command) {
    case ID_FILE_OPEN:
        Fill(gc, Poly(gc, {{9, 13}, {16, 13}, {18, 15}, {30, 15}, {30, 28}, {9, 28}}), c);
        Fill(gc, Poly(gc, {{12, 19}, {33, 19}, {29, 29}, {8, 29}}), accent);
        break;
    case ID_FILE_SAVE_AS:
        Fill(gc, Rect(gc, 10, 10, 20, 20, 2), c);
        Fill(gc, Rect(gc, 14, 10, 11, 7), kBodyDark);
        Fill(gc, Rect(gc, 13, 21, 14, 9), accent);
        break;
    case ID_FIRST:
        Fill(gc, Rect(gc, 11, 12, 3, 16), c);
        Triangle(gc, 15, 20, 8, false, c);
        break;
    case ID_PREVIOUS: Triangle(gc, 14, 20, 8, false, c); break;
    case ID_NEXT: Triangle(gc, 16, 20, 8, true, c); break;
    case ID_LAST:
        Triangle(gc, 15, 20, 8, true, c);
        Fill(gc, Rect(gc, 26, 12, 3, 16), c);
        break;
    case ID_SLIDE_SHOW:
        Stroke(gc, Rect(gc, 8, 11, 24, 18, 2), c, 2);
        Triangle(gc, 17, 20, 5, true, accent);
        break;
    case ID_REFRESH: {
        wxGraphicsPath p = gc.CreatePath();
        p.AddArc(20, 20, 9, -M_PI * 0.35, M_PI * 1.45, true);
        Stroke(gc, p, c, 3);
        Fill(gc, Poly(gc, {{24, 8}, {32, 13}, {24, 17}}), c);
        break;
    }
    case ID_MULTI_IMAGE:
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) Fill(gc, Rect(gc, 10 + k * 7.5, 10 + r * 7.5, 5.5, 5.5, 1), r == 1 && k == 1 ? accent : c);
        break;
    case ID_SET_WALLPAPER:
        Stroke(gc, Rect(gc, 8, 10, 24, 16, 2), c, 2);
        Fill(gc, Poly(gc, {{11, 24}, {17, 16}, {21, 21}, {24, 18}, {29, 24}}), accent);
        Fill(gc, Rect(gc, 16, 27, 8, 3), c);
        break;
    case ID_RENAME:
        Stroke(gc, Poly(gc, {{12, 28}, {27, 13}}, false), c, 4);
        Fill(gc, Poly(gc, {{9, 31}, {10, 26}, {14, 30}}), accent);
        break;
    case ID_DELETE:
        Fill(gc, Rect(gc, 13, 15, 14, 16, 2), c);
        Fill(gc, Rect(gc, 10, 11, 20, 3, 1), c);
        Fill(gc, Rect(gc, 17, 8, 6, 3, 1), c);
        for (int k = 0; k < 3; ++k) Fill(gc, Rect(gc, 15.5 + k * 3.5, 18, 1.6, 10), kBodyDark);
        break;
    case ID_APP_ABOUT:
        Fill(gc, Rect(gc, 18, 17, 4, 13, 1), c);
        Fill(gc, Rect(gc, 18, 10, 4, 4, 2), accent);
        break;
    case ID_USER_MANUAL:
        Fill(gc, Poly(gc, {{9, 12}, {19, 14}, {19, 30}, {9, 28}}), c);
        Fill(gc, Poly(gc, {{21, 14}, {31, 12}, {31, 28}, {21, 30}}), c);
        break;
    case ID_SET_STARTUP: {
        wxGraphicsPath p = gc.CreatePath();
        p.AddArc(20, 21, 9, -M_PI * 0.3, M_PI * 1.3, true);
        Stroke(gc, p, c, 3);
        Stroke(gc, Poly(gc, {{20, 9}, {20, 20}}, false), accent, 3);
        break;
    }
    default: break;
    }
}

wxBitmap DrawTool(int command, bool enabled) {
    Canvas cv(40, 40, true);
    wxGraphicsContext& gc = *cv.gc;
    wxGraphicsPath body = Rect(gc, 1.5, 1.5, 37, 37, 7);
    // A disabled button keeps its shape but fades into the bar.
    const unsigned char a = enabled ? 255 : 90;
    const auto faded = [a](const wxColour& c) { return wxColour(c.Red(), c.Green(), c.Blue(), a); };
    gc.SetBrush(gc.CreateLinearGradientBrush(0, 1, 0, 39, faded(kBodyLight), faded(kBodyDark)));
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(faded(kRim), 1)));
    gc.DrawPath(body);
    Glyph(gc, command, enabled ? kGlyph : kGlyphOff, enabled ? (command == ID_DELETE ? kRed : kGlow) : kGlyphOff);
    return cv.Finish();
}

// A warm linen weave: light threads over a paper ground, a little darker at
// the crossings, tinted per column.
wxBitmap DrawTile(int size, int tint) {
    wxImage img(size, size);
    unsigned char* p = img.GetData();
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double warp = std::sin(x * M_PI / 4.0), weft = std::sin(y * M_PI / 4.0);
            const unsigned h = unsigned(x * 73856093u ^ y * 19349663u) % 7;
            const int base = 226 + int(6 * warp * weft) - int(h);
            unsigned char* q = p + 3 * (size_t(y) * size + x);
            q[0] = (unsigned char)std::clamp(base + 8 - tint, 0, 255);
            q[1] = (unsigned char)std::clamp(base + 2, 0, 255);
            q[2] = (unsigned char)std::clamp(base - 10 + tint, 0, 255);
        }
    return wxBitmap(img);
}

}  // namespace

wxBitmap ToolBitmap(int command, bool enabled) {
    static std::map<std::pair<int, bool>, wxBitmap> cache;
    auto& b = cache[{command, enabled}];
    if (!b.IsOk()) b = DrawTool(command, enabled);
    return b;
}

wxBitmap TileBitmap(int id) {
    static std::map<int, wxBitmap> cache;
    if (id != IDB_TILE_COLUMN0 && id != IDB_TILE_COLUMN1 && id != IDB_TILE_COLUMN2) return wxBitmap();
    auto& b = cache[id];
    if (!b.IsOk()) b = DrawTile(id == IDB_TILE_COLUMN0 ? 128 : 160, id == IDB_TILE_COLUMN0 ? 0 : id == IDB_TILE_COLUMN1 ? 4 : 8);
    return b;
}

wxIcon ProgramIcon(int size) {
    Canvas cv(size, size, true);
    wxGraphicsContext& gc = *cv.gc;
    const double s = size / 48.0;
    gc.Scale(s, s);
    gc.SetBrush(gc.CreateLinearGradientBrush(0, 2, 0, 46, kBodyLight, kBodyDark));
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(kRim, 1.5)));
    gc.DrawPath(Rect(gc, 2, 2, 44, 44, 9));
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            Fill(gc, Rect(gc, 9 + k * 10.5, 9 + r * 10.5, 8.5, 8.5, 1.5), r == 1 && k == 1 ? kGlow : kGlyph);
    wxIcon icon;
    icon.CopyFromBitmap(cv.Finish());
    return icon;
}

}  // namespace lumora
