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

namespace {

long long Overlap(long long a0, long long a1, long long b0, long long b1) {
    return std::max(0LL, std::min(a1, b1) - std::max(a0, b0));
}

// Squared distance between the centres, in 64 bits: stored values can be huge.
long long CentreDistance(const Rect& a, const Rect& b) {
    const long long dx = (2LL * a.x + a.w) - (2LL * b.x + b.w), dy = (2LL * a.y + a.h) - (2LL * b.y + b.h);
    return dx / 2 * (dx / 2) + dy / 2 * (dy / 2);
}

}  // namespace

Rect PlaceOnScreen(Rect r, const std::vector<Rect>& monitors) {
    if (monitors.empty()) return r;
    int maxW = 0, maxH = 0;
    for (const Rect& m : monitors) maxW = std::max(maxW, m.w), maxH = std::max(maxH, m.h);
    r.w = std::clamp(r.w, kMinWidth, std::max(kMinWidth, maxW + 2 * kBorder));
    r.h = std::clamp(r.h, kMinHeight, std::max(kMinHeight, maxH + 2 * kBorder));
    const Rect* nearest = &monitors.front();
    for (const Rect& m : monitors) {
        const long long wx = Overlap(r.x, 1LL * r.x + r.w, m.x, 1LL * m.x + m.w);
        const long long wy = Overlap(r.y, 1LL * r.y + r.h, m.y, 1LL * m.y + m.h);
        if (wx >= std::min(r.w, kMinWidth) && wy >= std::min(r.h, kMinHeight)) return r;
        if (CentreDistance(r, m) < CentreDistance(r, *nearest)) nearest = &m;
    }
    const Rect& m = *nearest;
    r.w = std::min(r.w, m.w);
    r.h = std::min(r.h, m.h);
    r.x = int(std::clamp<long long>(r.x, m.x, 1LL * m.x + m.w - r.w));
    r.y = int(std::clamp<long long>(r.y, m.y, 1LL * m.y + m.h - r.h));
    return r;
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
