// Main-window geometry: the 5-pixel border counted inside the window, the
// minimum size and 4:3 lock applied while an edge is dragged, the direction
// of the animated border, normal, forced and full-screen sizes.
#pragma once

#include <vector>

namespace orvane {

constexpr int kBorder = 5;
constexpr int kMinWidth = 80;
constexpr int kMinHeight = 60;

enum class Edge { Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Rect&) const = default;
};

// Size after the minimum and, when locked, the 4:3 rule for a drag of edge.
Rect SizeWhileDragging(Rect r, Edge edge, bool fixed43);
// True for forward rotation of the border strip.
bool BorderForward(Edge edge, const Rect& now, const Rect& before);
// The picture's rectangle inside a client area of w x h.
Rect PictureRect(int clientW, int clientH);
// Window size for a picture of w x h (normal and forced sizes).
Rect WindowForPicture(int x, int y, int picW, int picH);
// Full screen: the border lies off screen.
Rect FullScreenRect(int screenW, int screenH);
// Height of a 4:3-locked window of the given width.
int LockedHeight(int width);
// A stored window rectangle placed on the screen: kept when a part of at
// least the minimum window size lies on one monitor; otherwise (off every
// monitor, absurd values) moved inside the monitor nearest to it, sized down
// to fit. Sizes are bounded to the largest monitor plus the border.
Rect PlaceOnScreen(Rect r, const std::vector<Rect>& monitors);
// Rotates a strip of n RGB pixels by 4 pixels forward or backward.
void RotateStrip(unsigned char* rgb, int n, bool forward);

}  // namespace orvane
