// The view's geometry: cells, fit rule and centring.
#include "lumora/ViewLayout.h"

#include <algorithm>

namespace lumora {

Fitted FitImage(int w, int h, int boxW, int boxH, int left, int top, int areaW, int areaH) {
    double fw = std::max(w, 1), fh = std::max(h, 1);
    // A box of nothing still leaves one pixel.
    const double bw = std::max(boxW, 1), bh = std::max(boxH, 1);
    if (fh > bh) {
        fw *= bh / fh;
        fh = bh;
    }
    if (fw > bw) {
        fh *= bw / fw;
        fw = bw;
    }
    Fitted f;
    f.width = std::max(1, int(fw));
    f.height = std::max(1, int(fh));
    // Truncation toward zero, as an int conversion does.
    f.x = left + int((areaW - fw) / 2);
    f.y = top + int((areaH - fh) / 2);
    return f;
}

Fitted FitSingle(int w, int h, int clientW, int clientH) {
    return FitImage(w, h, clientW - kFitMargin, clientH - kFitMargin, 0, 0, clientW, clientH);
}

CellLayout LayoutCell(int k, int clientW, int clientH) {
    const int cellW = clientW / 3, cellH = clientH / 3;
    const int c = k % 3, r = (k / 3) % 3;
    const int x0 = c * cellW + kCellInset, y0 = r * cellH + kCellInset;
    CellLayout l;
    l.cell = {x0, y0, x0 + cellW - kCellInset, y0 + cellH - kLabelStrip};
    l.nameX = x0 + 20;
    l.nameY = y0 + cellH - 20;
    l.sizeX = x0 + l.cell.Width() / 3;
    l.sizeY = y0 + cellH - 50;
    return l;
}

Fitted FitInCell(int w, int h, const CellRect& cell) {
    return FitImage(w, h, cell.Width() - kFitMargin, cell.Height() - kFitMargin, cell.left, cell.top, cell.Width(),
                    cell.Height());
}

void ThumbnailBox(int clientW, int clientH, int& boxW, int& boxH) {
    const CellRect cell = LayoutCell(0, clientW, clientH).cell;
    boxW = std::max(1, cell.Width() - kFitMargin);
    boxH = std::max(1, cell.Height() - kFitMargin);
}

int HitCell(int x, int y, int count, int clientW, int clientH) {
    for (int k = 0; k < std::min(count, 9); ++k)
        if (LayoutCell(k, clientW, clientH).cell.ContainsStrictly(x, y)) return k;
    return -1;
}

}  // namespace lumora
