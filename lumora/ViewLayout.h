// Geometry of the browser's view without any toolkit: the 3 x 3 cells of a
// page, the fit rule that reduces an image into a box and the centring, and
// the label positions. The numbers are the view's; the view only draws them.
#pragma once

namespace lumora {

struct CellRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    // Strictly inside: on the edge is outside.
    bool ContainsStrictly(int x, int y) const { return left < x && x < right && top < y && y < bottom; }
};

// A reduced size and where it goes. Width and height are at least 1.
struct Fitted {
    int width = 0, height = 0;
    int x = 0, y = 0;
};

inline constexpr int kFitMargin = 50;    // around a fitted image, 25 each side
inline constexpr int kCellInset = 5;
inline constexpr int kLabelStrip = 25;

// Reduces w x h into boxW x boxH (height first, then width; never enlarged)
// and centres the untruncated size in the area of areaW x areaH at (left, top).
Fitted FitImage(int w, int h, int boxW, int boxH, int left, int top, int areaW, int areaH);

// Single-image mode: the image fitted into the client area less the margin.
Fitted FitSingle(int w, int h, int clientW, int clientH);

struct CellLayout {
    CellRect cell;          // outline and fill, also the hit-test rectangle
    int nameX = 0, nameY = 0;
    int sizeX = 0, sizeY = 0;
};

// Cell k of a page in a client area of clientW x clientH.
CellLayout LayoutCell(int k, int clientW, int clientH);
// The thumbnail of w x h fitted into its cell.
Fitted FitInCell(int w, int h, const CellRect& cell);
// The box a thumbnail is reduced into, for the cell size of this client area.
void ThumbnailBox(int clientW, int clientH, int& boxW, int& boxH);

// The cell of the first count cells whose rectangle holds the point strictly
// inside, else -1.
int HitCell(int x, int y, int count, int clientW, int clientH);

}  // namespace lumora
