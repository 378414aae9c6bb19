#include "orvane/ui/Skin.h"

#include <cmath>
#include <map>
#include <memory>

#include <wx/brush.h>
#include <wx/graphics.h>
#include <wx/pen.h>
#include <wx/image.h>

#include "orvane/ui/SkinTable.h"

namespace {

// One palette for the whole skin: graphite body, light glyphs, green glow.
const wxColour kBodyLight(58, 62, 70), kBodyDark(18, 19, 23), kRim(96, 102, 114);
const wxColour kGlyph(220, 226, 234), kGlow(90, 255, 130), kGlyphPressed(40, 255, 80);
const wxColour kGlyphDisabled(86, 90, 98), kRed(235, 48, 48);

struct Canvas {
    wxImage image;
    std::unique_ptr<wxGraphicsContext> gc;
    Canvas(int w, int h) : image(w, h) {
        image.InitAlpha();
        std::fill_n(image.GetAlpha(), w * h, 0);
        gc.reset(wxGraphicsContext::Create(image));
        gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    }
    wxBitmap Finish() {
        gc.reset();  // flushes the drawing into the image
        return wxBitmap(image);
    }
};

wxGraphicsBrush Vertical(wxGraphicsContext& gc, double y0, double y1, const wxColour& a,
                         const wxColour& b) {
    return gc.CreateLinearGradientBrush(0, y0, 0, y1, a, b);
}

wxGraphicsPath RoundRect(wxGraphicsContext& gc, double x, double y, double w, double h,
                         double r) {
    wxGraphicsPath p = gc.CreatePath();
    p.AddRoundedRectangle(x, y, w, h, std::min(r, std::min(w, h) / 2));
    return p;
}

void Text(wxGraphicsContext& gc, const wxString& s, const wxRect2DDouble& r, double px,
          const wxColour& c, bool bold = true) {
    wxFont f(wxFontInfo(wxSize(0, int(px))).Family(wxFONTFAMILY_SWISS).Bold(bold));
    gc.SetFont(f, c);
    double tw, th, d, e;
    gc.GetTextExtent(s, &tw, &th, &d, &e);
    gc.DrawText(s, r.m_x + (r.m_width - tw) / 2, r.m_y + (r.m_height - th) / 2);
}

void Pen(wxGraphicsContext& gc, const wxColour& c, double w) {
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(c, w)));
}

// ------------------------------------------------------------------ pictograms
void Stroke(wxGraphicsContext& gc, const wxGraphicsPath& p, const wxColour& c, double w) {
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(c, w).Cap(wxCAP_ROUND).Join(wxJOIN_ROUND)));
    gc.StrokePath(p);
}

void Fill(wxGraphicsContext& gc, const wxGraphicsPath& p, const wxColour& c) {
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.SetBrush(wxBrush(c));
    gc.FillPath(p);
}

void Triangle(wxGraphicsContext& gc, double cx, double cy, double s, bool up, const wxColour& c) {
    wxGraphicsPath p = gc.CreatePath();
    const double d = up ? -1 : 1;
    p.MoveToPoint(cx - s, cy - d * s * 0.5);
    p.AddLineToPoint(cx + s, cy - d * s * 0.5);
    p.AddLineToPoint(cx, cy + d * s * 0.6);
    p.CloseSubpath();
    Fill(gc, p, c);
}

void Speaker(wxGraphicsContext& gc, double cx, double cy, double s, const wxColour& c) {
    wxGraphicsPath p = gc.CreatePath();
    p.MoveToPoint(cx - s, cy - s * 0.35);
    p.AddLineToPoint(cx - s * 0.5, cy - s * 0.35);
    p.AddLineToPoint(cx, cy - s * 0.8);
    p.AddLineToPoint(cx, cy + s * 0.8);
    p.AddLineToPoint(cx - s * 0.5, cy + s * 0.35);
    p.AddLineToPoint(cx - s, cy + s * 0.35);
    p.CloseSubpath();
    Fill(gc, p, c);
}

void DrawGlyph(wxGraphicsContext& gc, Glyph g, double w, double h, const wxColour& c, bool lit) {
    const double cx = w / 2, cy = h / 2, s = std::min(w, h) * 0.3, lw = std::max(1.4, s * 0.28);
    wxGraphicsPath p = gc.CreatePath();
    switch (g) {
    case Glyph::About: Text(gc, "i", {0, 0, w, h}, h * 0.62, c); return;
    case Glyph::Help: Text(gc, "?", {0, 0, w, h}, h * 0.62, c); return;
    case Glyph::Videos:  // film frame with sprocket holes
        p.AddRoundedRectangle(cx - s, cy - s * 1.2, 2 * s, 2.4 * s, 1.5);
        Stroke(gc, p, c, lw * 0.8);
        for (int i = 0; i < 3; ++i) {
            wxGraphicsPath hole = gc.CreatePath();
            hole.AddRectangle(cx - s * 0.75, cy - s * 0.9 + i * s * 0.75, s * 0.3, s * 0.35);
            hole.AddRectangle(cx + s * 0.45, cy - s * 0.9 + i * s * 0.75, s * 0.3, s * 0.35);
            Fill(gc, hole, c);
        }
        return;
    case Glyph::Images:  // picture with a mountain and a sun
        p.AddRoundedRectangle(cx - s * 1.1, cy - s * 0.9, 2.2 * s, 1.8 * s, 1.5);
        Stroke(gc, p, c, lw * 0.8);
        p = gc.CreatePath();
        p.MoveToPoint(cx - s * 0.9, cy + s * 0.7);
        p.AddLineToPoint(cx - s * 0.2, cy - s * 0.2);
        p.AddLineToPoint(cx + s * 0.3, cy + s * 0.35);
        p.AddLineToPoint(cx + s * 0.55, cy + s * 0.1);
        p.AddLineToPoint(cx + s * 0.9, cy + s * 0.7);
        p.CloseSubpath();
        Fill(gc, p, c);
        p = gc.CreatePath();
        p.AddCircle(cx + s * 0.5, cy - s * 0.4, s * 0.2);
        Fill(gc, p, c);
        return;
    case Glyph::Record:
        p.AddCircle(cx, cy, std::min(w, h) * 0.3);
        Fill(gc, p, lit ? wxColour(255, 70, 70) : c == kGlyphDisabled ? c : kRed);
        return;
    case Glyph::SaveAs:  // arrow into a tray
        p.MoveToPoint(cx, cy - s);
        p.AddLineToPoint(cx, cy + s * 0.3);
        p.MoveToPoint(cx - s * 0.5, cy - s * 0.2);
        p.AddLineToPoint(cx, cy + s * 0.3);
        p.AddLineToPoint(cx + s * 0.5, cy - s * 0.2);
        p.MoveToPoint(cx - s, cy + s * 0.4);
        p.AddLineToPoint(cx - s, cy + s);
        p.AddLineToPoint(cx + s, cy + s);
        p.AddLineToPoint(cx + s, cy + s * 0.4);
        Stroke(gc, p, c, lw);
        return;
    case Glyph::Snapshot: {  // camera body, lens
        const double k = s * 0.85;
        p.AddRoundedRectangle(cx - k * 1.3, cy - k * 0.7, 2.6 * k, 1.7 * k, k * 0.3);
        p.AddRectangle(cx - k * 0.5, cy - k * 1.0, k * 1.0, k * 0.35);
        Fill(gc, p, c);
        wxGraphicsPath lens = gc.CreatePath();
        lens.AddCircle(cx, cy + k * 0.15, k * 0.55);
        Fill(gc, lens, kBodyDark);
        wxGraphicsPath inner = gc.CreatePath();
        inner.AddCircle(cx, cy + k * 0.15, k * 0.3);
        Fill(gc, inner, c);
        return;
    }
    case Glyph::HidePanel:
        Triangle(gc, w * 0.2, cy, h * 0.18, false, c);
        Text(gc, "HIDE", {w * 0.3, 0, w * 0.6, h}, h * 0.55, c);
        return;
    case Glyph::Exit:  // power symbol
        p.AddArc(cx, cy + s * 0.1, s * 0.9, -M_PI / 2 + 0.7, -M_PI / 2 - 0.7 + 2 * M_PI, true);
        p.MoveToPoint(cx, cy - s * 1.1);
        p.AddLineToPoint(cx, cy - s * 0.1);
        Stroke(gc, p, lit ? c : c == kGlyphDisabled ? c : wxColour(255, 120, 110), lw);
        return;
    case Glyph::Minimize:
        p.MoveToPoint(cx - s * 0.8, cy + s * 0.6);
        p.AddLineToPoint(cx + s * 0.8, cy + s * 0.6);
        Stroke(gc, p, c, lw * 1.2);
        return;
    case Glyph::Pause:
        p.AddRectangle(cx - s * 0.85, cy - s, s * 0.6, 2 * s);
        p.AddRectangle(cx + s * 0.25, cy - s, s * 0.6, 2 * s);
        Fill(gc, p, c);
        return;
    case Glyph::OnTop:  // stacked windows, front one raised
        p.AddRectangle(cx - s, cy - s * 0.3, s * 1.4, s * 1.2);
        Stroke(gc, p, c, lw * 0.7);
        p = gc.CreatePath();
        p.AddRectangle(cx - s * 0.4, cy - s * 1.0, s * 1.4, s * 1.2);
        Fill(gc, p, c);
        return;
    case Glyph::Config:  // three sliders
        for (int i = 0; i < 3; ++i) {
            const double y = cy - s * 0.8 + i * s * 0.8, kx = cx + s * (i == 1 ? 0.5 : -0.4);
            p.MoveToPoint(cx - s * 1.2, y);
            p.AddLineToPoint(cx + s * 1.2, y);
            wxGraphicsPath knob = gc.CreatePath();
            knob.AddCircle(kx, y, s * 0.28);
            Fill(gc, knob, c);
        }
        Stroke(gc, p, c, lw * 0.6);
        return;
    case Glyph::Fullscreen:  // four corner brackets
        for (int sx : {-1, 1})
            for (int sy : {-1, 1}) {
                p.MoveToPoint(cx + sx * s, cy + sy * s * 0.35);
                p.AddLineToPoint(cx + sx * s, cy + sy * s);
                p.AddLineToPoint(cx + sx * s * 0.35, cy + sy * s);
            }
        Stroke(gc, p, c, lw);
        return;
    case Glyph::NormalSize: Text(gc, "1:1", {0, 0, w, h}, h * 0.42, c); return;
    case Glyph::Mute:
        Speaker(gc, cx + s * 0.2, cy, s * 0.9, c);
        p.MoveToPoint(cx - s * 1.0, cy - s * 1.0);
        p.AddLineToPoint(cx + s * 1.0, cy + s * 1.0);
        Stroke(gc, p, lit ? kRed : c, lw * 0.8);
        return;
    case Glyph::VolumeUp:
    case Glyph::VolumeDown: {
        const bool up = g == Glyph::VolumeUp;
        const double gx = up ? w * 0.55 : w * 0.45, k = 7;
        Speaker(gc, gx - 2, cy - 12, 6, c);
        p.MoveToPoint(gx - k, cy + 8);
        p.AddLineToPoint(gx + k, cy + 8);
        if (up) {
            p.MoveToPoint(gx, cy + 8 - k);
            p.AddLineToPoint(gx, cy + 8 + k);
        }
        Stroke(gc, p, c, 3);
        return;
    }
    case Glyph::Scan:  // magnifier
        p.AddCircle(cx - s * 0.25, cy - s * 0.25, s * 0.65);
        p.MoveToPoint(cx + s * 0.25, cy + s * 0.25);
        p.AddLineToPoint(cx + s, cy + s);
        Stroke(gc, p, c, lw);
        return;
    case Glyph::ChannelUp: Triangle(gc, cx, cy, s, true, c); return;
    case Glyph::ChannelDown: Triangle(gc, cx, cy, s, false, c); return;
    case Glyph::ChannelList:
        for (int i = -1; i <= 1; ++i) {
            p.MoveToPoint(cx - s, cy + i * s * 0.7);
            p.AddLineToPoint(cx + s, cy + i * s * 0.7);
        }
        Stroke(gc, p, c, lw);
        return;
    case Glyph::Keypad:
        for (int i = -1; i <= 1; ++i)
            for (int j = -1; j <= 1; ++j) p.AddCircle(cx + i * s * 0.7, cy + j * s * 0.7, s * 0.22);
        Fill(gc, p, c);
        return;
    case Glyph::FaveLed: Text(gc, "FAV", {0, 0, w, h}, h * 0.6, kGlow); return;
    case Glyph::RecLed:
        p.AddRoundedRectangle(0.5, 0.5, w - 1, h - 1, 3);
        Fill(gc, p, kRed);
        Text(gc, "REC", {0, 0, w, h}, h * 0.85, *wxWHITE);
        return;
    case Glyph::SingleLed: Text(gc, "-", {0, 0, w, h}, h, kGlow); return;
    case Glyph::LineLed: Text(gc, "LINE", {0, 0, w, h}, h * 0.38, kGlow); return;
    case Glyph::SoundSource: Text(gc, "TV", {0, 0, w, h}, h * 0.42, c); return;
    case Glyph::DigitMode: Text(gc, "-/--", {0, 0, w, h}, h * 0.36, c); return;
    case Glyph::Close:
        p.MoveToPoint(cx - s, cy - s);
        p.AddLineToPoint(cx + s, cy + s);
        p.MoveToPoint(cx + s, cy - s);
        p.AddLineToPoint(cx - s, cy + s);
        Stroke(gc, p, c, lw * 0.8);
        return;
    default:  // digits
        Text(gc, wxString::Format("%d", int(g) - int(Glyph::Digit0)), {0, 0, w, h}, h * 0.55, c);
        return;
    }
}

// ------------------------------------------------------------------ key caps
wxGraphicsPath CapShape(wxGraphicsContext& gc, Glyph g, double w, double h) {
    wxGraphicsPath p = gc.CreatePath();
    if (g == Glyph::VolumeUp || g == Glyph::VolumeDown) {
        // A crescent hugging the centre cluster of the panel.
        const bool right = g == Glyph::VolumeUp;
        const double ox = right ? -46 : w + 46, oy = h / 2;  // centre of the inner arc
        const double r0 = 58, r1 = right ? w + 40 : w + 42;
        const double a = std::asin(std::min(1.0, (h / 2 - 2) / r1));
        if (right) {
            p.AddArc(ox, oy, r1, -a, a, true);
            p.AddArc(ox, oy, r0, std::asin(std::min(1.0, (h / 2 - 2) / r0)),
                     -std::asin(std::min(1.0, (h / 2 - 2) / r0)), false);
        } else {
            p.AddArc(ox, oy, r1, M_PI + a, M_PI - a, false);
            p.AddArc(ox, oy, r0, M_PI - std::asin(std::min(1.0, (h / 2 - 2) / r0)),
                     M_PI + std::asin(std::min(1.0, (h / 2 - 2) / r0)), true);
        }
        p.CloseSubpath();
        return p;
    }
    const double r = (g == Glyph::HidePanel || g == Glyph::About || g == Glyph::Config ||
                      g == Glyph::ChannelList || g == Glyph::Keypad)
                         ? std::min(w, h) * 0.4
                         : std::min(w, h) / 2;
    p.AddRoundedRectangle(1, 1, w - 2, h - 2, r - 1);
    return p;
}

bool IsLed(Glyph g) {
    return g == Glyph::FaveLed || g == Glyph::RecLed || g == Glyph::SingleLed ||
           g == Glyph::LineLed;
}

wxBitmap DrawButton(const ButtonSpec& b, int state) {
    Canvas cv(b.w, b.h);
    wxGraphicsContext& gc = *cv.gc;
    if (IsLed(b.glyph)) {
        DrawGlyph(gc, b.glyph, b.w, b.h, kGlow, true);
        return cv.Finish();
    }
    const wxGraphicsPath cap = CapShape(gc, b.glyph, b.w, b.h);
    const bool pressed = state == 2, disabled = state == 3, hover = state == 0;
    gc.SetBrush(disabled  ? Vertical(gc, 0, b.h, wxColour(44, 46, 51), wxColour(34, 36, 40))
                : pressed ? Vertical(gc, 0, b.h, wxColour(16, 17, 20), wxColour(46, 50, 57))
                          : Vertical(gc, 0, b.h, wxColour(78, 83, 93), wxColour(33, 35, 40)));
    Pen(gc, hover     ? kGlow
                                : pressed ? wxColour(30, 160, 70)
                                          : wxColour(12, 13, 16),
                                hover || pressed ? 1.6 : 1.0);
    gc.DrawPath(cap);
    if (!pressed && !disabled) {  // top highlight
        Pen(gc, wxColour(255, 255, 255, 40), 1);
        gc.SetBrush(*wxTRANSPARENT_BRUSH);
        gc.Clip(0, 0, b.w, b.h * 0.45);
        gc.StrokePath(CapShape(gc, b.glyph, b.w - 0, b.h - 0));
        gc.ResetClip();
    }
    const wxColour c = disabled ? kGlyphDisabled : pressed ? kGlyphPressed : hover ? kGlow : kGlyph;
    if (pressed) gc.Translate(0, 1);
    DrawGlyph(gc, b.glyph, b.w, b.h, c, pressed);
    return cv.Finish();
}

// ------------------------------------------------------------------ backgrounds
void Body(wxGraphicsContext& gc, const wxGraphicsPath& shape, double cx, double cy, double r) {
    gc.SetBrush(gc.CreateRadialGradientBrush(cx - r * 0.3, cy - r * 0.45, cx, cy, r * 1.15,
                                             kBodyLight, kBodyDark));
    Pen(gc, kRim, 2);
    gc.DrawPath(shape);
}

wxBitmap DrawPanel() {
    Canvas cv(kPanelSize, kPanelSize);
    wxGraphicsContext& gc = *cv.gc;
    wxGraphicsPath disc = gc.CreatePath();
    disc.AddCircle(160, 160, 151);
    Body(gc, disc, 160, 160, 151);
    // Inner bevel ring and a recessed well behind the centre controls.
    wxGraphicsPath ring = gc.CreatePath();
    ring.AddCircle(160, 160, 143);
    Pen(gc, wxColour(0, 0, 0, 120), 2);
    gc.StrokePath(ring);
    wxGraphicsPath well = gc.CreatePath();
    well.AddCircle(160, 205, 60);
    gc.SetBrush(gc.CreateRadialGradientBrush(160, 215, 160, 205, 60, wxColour(14, 15, 18),
                                             wxColour(32, 34, 39)));
    Pen(gc, wxColour(80, 86, 96), 1);
    gc.DrawPath(well);
    // The display window with its green glow.
    for (int i = 4; i >= 1; --i) {
        Pen(gc, wxColour(0, 255, 0, 18 * (5 - i)), i * 2);
        gc.SetBrush(*wxTRANSPARENT_BRUSH);
        gc.DrawRoundedRectangle(74, 84, 172, 32, 6);
    }
    gc.SetBrush(wxBrush(*wxBLACK));
    Pen(gc, wxColour(20, 110, 40), 1.2);
    gc.DrawRoundedRectangle(74, 84, 172, 32, 6);
    Text(gc, "TELLURA", {110, 40, 100, 16}, 12, wxColour(150, 158, 170));
    return cv.Finish();
}

wxBitmap DrawKeypad() {
    Canvas cv(kKeypadWidth, kKeypadHeight);
    wxGraphicsContext& gc = *cv.gc;
    wxGraphicsPath body = RoundRect(gc, 1, 1, kKeypadWidth - 2, kKeypadHeight - 2, 22);
    Body(gc, body, kKeypadWidth / 2.0, kKeypadHeight / 2.0, 120);
    Text(gc, "CHANNEL", {0, 162, double(kKeypadWidth), 12}, 9, wxColour(120, 126, 138));
    return cv.Finish();
}

// 365 pixels of light and middle blue shades rising and falling every 60 pixels.
wxBitmap DrawBorderStrip() {
    wxImage img(365, 1);
    for (int x = 0; x < 365; ++x) {
        const double t = 0.5 + 0.5 * std::sin(x * 2 * M_PI / 120.0);
        img.SetRGB(x, 0, (unsigned char)(40 + 110 * t), (unsigned char)(100 + 110 * t),
                   (unsigned char)(190 + 60 * t));
    }
    return wxBitmap(img);
}

const ButtonSpec* FindButtonBitmap(int id, int* state) {
    for (std::span<const ButtonSpec> table : {std::span<const ButtonSpec>(kPanelButtons), std::span<const ButtonSpec>(kKeypadButtons)})
        for (const ButtonSpec& b : table)
            for (int s = 0; s < 4; ++s)
                if (b.bitmaps[s] == id) {
                    *state = s;
                    return &b;
                }
    return nullptr;
}

}  // namespace

wxBitmap LoadSkinBitmap(int id) {
    static std::map<int, wxBitmap> cache;
    if (auto it = cache.find(id); it != cache.end()) return it->second;
    wxBitmap bmp;
    int state = 0;
    if (id == IDB_PANEL) bmp = DrawPanel();
    else if (id == IDB_KEYPAD) bmp = DrawKeypad();
    else if (id == IDB_BORDER_STRIP) bmp = DrawBorderStrip();
    else if (const ButtonSpec* b = FindButtonBitmap(id, &state)) bmp = DrawButton(*b, state);
    if (bmp.IsOk()) cache[id] = bmp;
    return bmp;
}

wxIcon LoadSkinIcon(int id, int size) {
    if (id != IDR_MAINFRAME && id != IDI_RECORDING) return wxIcon();
    Canvas cv(size, size);
    wxGraphicsContext& gc = *cv.gc;
    const double k = size / 32.0;
    wxGraphicsPath disc = gc.CreatePath();
    disc.AddCircle(16 * k, 16 * k, 15 * k);
    Body(gc, disc, 16 * k, 16 * k, 15 * k);
    gc.SetBrush(wxBrush(*wxBLACK));
    Pen(gc, wxColour(0, 200, 60), 1.2 * k);
    gc.DrawRoundedRectangle(7 * k, 10 * k, 18 * k, 12 * k, 2 * k);
    Pen(gc, wxColour(0, 255, 0), 1.6 * k);
    wxGraphicsPath wave = gc.CreatePath();
    wave.MoveToPoint(9 * k, 16 * k);
    for (int i = 1; i <= 7; ++i) wave.AddLineToPoint((9 + i * 2) * k, (i % 2 ? 13 : 19) * k);
    gc.StrokePath(wave);
    if (id == IDI_RECORDING) {
        wxGraphicsPath dot = gc.CreatePath();
        dot.AddCircle(25 * k, 7 * k, 5.5 * k);
        gc.SetBrush(wxBrush(kRed));
        Pen(gc, *wxWHITE, 1.2 * k);
        gc.DrawPath(dot);
    }
    wxIcon icon;
    icon.CopyFromBitmap(cv.Finish());
    return icon;
}
