// CDibImage's toolkit side: the block as a wxImage, drawing on a wxDC, the
// screen depth, the palette and the user-facing messages.
#include <wx/app.h>
#include <wx/dc.h>
#include <wx/gdicmn.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/palette.h>
#include <wx/thread.h>

#include "common/DibImage.h"
#include "common/DibLayout.h"

using dib::kHeaders;

namespace {

bool GuiRunning() { return wxTheApp && wxTheApp->IsGUI(); }

// A 5-bit channel on the 0..255 scale, rounded as the codec widens it.
uint8_t Widen5(unsigned c) { return uint8_t((c * 255 + 15) / 31); }

// One row of stored pixels as R,G,B triples. Colour table entries are
// B,G,R,0; an index beyond the table gives black.
void RowToRgb(const uint8_t* in, int bits, int width, const uint8_t* table, int entries, unsigned char* out) {
    for (int x = 0; x < width; ++x, out += 3) {
        if (bits <= 8) {
            unsigned i = bits == 8 ? in[x] : bits == 4 ? ((x & 1) ? in[x >> 1] & 15u : in[x >> 1] >> 4u)
                                                       : (in[x >> 3] >> (7 - (x & 7))) & 1u;
            const uint8_t* c = int(i) < entries ? table + 4 * i : nullptr;
            out[0] = c ? c[2] : 0, out[1] = c ? c[1] : 0, out[2] = c ? c[0] : 0;
        } else if (bits == 16) {
            const unsigned v = unsigned(in[2 * x]) | (unsigned(in[2 * x + 1]) << 8);
            const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            out[0] = Widen5(r), out[1] = Widen5(g), out[2] = Widen5(b);
        } else {
            const uint8_t* p = in + x * (bits / 8);
            out[0] = p[2], out[1] = p[1], out[2] = p[0];
        }
    }
}

}  // namespace

void CDibImage::PaletteDeleter::operator()(wxPalette* p) const { delete p; }

void CDibImage::QueryScreen() {
    screenPlanes_ = 1;
    // Only the user-interface thread may ask the display; images loaded on
    // worker threads count as shown on a true-colour screen.
    screenBitsPerPixel_ = GuiRunning() && wxThread::IsMain() ? wxDisplayDepth() : 24;
}

bool CDibImage::BuildPalette(const uint8_t* table) {
    const int n = colourTableSize_ / 4;
    std::vector<unsigned char> r(n), g(n), b(n);
    for (int i = 0; i < n; ++i) b[i] = table[4 * i], g[i] = table[4 * i + 1], r[i] = table[4 * i + 2];
    auto palette = std::unique_ptr<wxPalette, PaletteDeleter>(new wxPalette());
    if (n <= 0 || !palette->Create(n, r.data(), g.data(), b.data())) return false;
    palette_ = std::move(palette);
    return true;
}

void CDibImage::ShowMessage(const char* text) {
    if (GuiRunning()) wxMessageBox(wxString::FromUTF8(text), wxTheApp->GetAppDisplayName(), wxOK | wxICON_EXCLAMATION);
}

bool CDibImage::ToImage(wxImage& out) const {
    auto* d = static_cast<const uint8_t*>(plat::GlobalLock(block_));
    if (!d) return false;
    const int64_t stride = DibStride(bitCount_, width_);
    const uint8_t* rows = d + kHeaders + colourTableSize_;
    bool ok = out.Create(width_, height_, false);
    if (ok) {
        unsigned char* rgb = out.GetData();
        for (int y = 0; y < height_; ++y)
            RowToRgb(rows + (height_ - 1 - y) * stride, bitCount_, width_, d + kHeaders, colourTableSize_ / 4,
                     rgb + size_t(y) * width_ * 3);
    }
    plat::GlobalUnlock(block_);
    return ok;
}

bool CDibImage::Draw(wxDC& dc, int32_t x, int32_t y) {
    if (!block_) {
        lastError_ = DIB_ERR_EMPTY;
        return false;
    }
    if (x != -1) x_ = x;
    if (y != -1) y_ = y;
    if (!plat::GlobalLock(block_)) {
        lastError_ = DIB_ERR_LOCK;
        return false;
    }
    plat::GlobalUnlock(block_);
    wxImage image;
    const bool converted = ToImage(image);
    wxBitmap bitmap = converted ? wxBitmap(image) : wxBitmap();
    if (!bitmap.IsOk() || !dc.IsOk()) {
        lastError_ = DIB_ERR_DRAW;
        return false;
    }
    dc.DrawBitmap(bitmap, x_, y_, false);
    return true;
}
