#include "Sizing.h"

#include <algorithm>

namespace orvane {

namespace {

bool Vertical(Edge e) { return e == Edge::Top || e == Edge::Bottom; }

}  // namespace

int LockedHeight(int width) { return width * 3 / 4; }

Rect SizeWhileDragging(Rect r, Edge edge, bool fixed43) {
    r.w = std::max(r.w, kMinWidth);
    r.h = std::max(r.h, kMinHeight);
    if (!fixed43) return r;
    int oldH = r.h;
    if (Vertical(edge))
        r.w = r.h * 4 / 3;
    else
        r.h = LockedHeight(r.w);
    // A top corner drag keeps the bottom edge where it is.
    if (edge == Edge::TopLeft || edge == Edge::TopRight) r.y += oldH - r.h;
    return r;
}

bool BorderForward(Edge edge, const Rect& now, const Rect& before) {
    bool forward = edge == Edge::Right || edge == Edge::Bottom || edge == Edge::BottomRight;
    if (now.w > before.w || now.h > before.h) forward = !forward;
    return forward;
}

Rect PictureRect(int clientW, int clientH) {
    return {kBorder, kBorder, std::max(clientW - 2 * kBorder, 0),
            std::max(clientH - 2 * kBorder, 0)};
}

Rect WindowForPicture(int x, int y, int picW, int picH) {
    return {x, y, picW + 2 * kBorder, picH + 2 * kBorder};
}

Rect FullScreenRect(int screenW, int screenH) {
    return {-kBorder, -kBorder, screenW + 2 * kBorder, screenH + 2 * kBorder};
}

void RotateStrip(unsigned char* rgb, int n, bool forward) {
    if (!rgb || n <= 4) return;
    unsigned char* end = rgb + 3 * n;
    if (forward)
        std::rotate(rgb, rgb + 12, end);
    else
        std::rotate(rgb, end - 12, end);
}

}  // namespace orvane
