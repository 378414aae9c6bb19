#include "Sizing.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvane {
namespace {

TEST(Sizing, DragRulesMinimumBeforeLock) {
    EXPECT_EQ(SizeWhileDragging({0, 0, 401, 500}, Edge::Right, true), (Rect{0, 0, 401, 300}));
    EXPECT_EQ(SizeWhileDragging({0, 0, 300, 120}, Edge::Bottom, true), (Rect{0, 0, 160, 120}));
    EXPECT_EQ(SizeWhileDragging({0, 0, 10, 10}, Edge::Right, false), (Rect{0, 0, 80, 60}));
    EXPECT_EQ(SizeWhileDragging({0, 0, 10, 10}, Edge::Right, true), (Rect{0, 0, 80, 60}));
    // Top corner: the bottom edge stays put.
    EXPECT_EQ(SizeWhileDragging({0, 100, 400, 400}, Edge::TopLeft, true),
              (Rect{0, 200, 400, 300}));
    EXPECT_EQ(SizeWhileDragging({0, 0, 400, 400}, Edge::Left, false), (Rect{0, 0, 400, 400}));
}

TEST(Sizing, BorderDirection) {
    Rect small{0, 0, 200, 150}, big{0, 0, 300, 225};
    EXPECT_TRUE(BorderForward(Edge::Right, small, big));
    EXPECT_FALSE(BorderForward(Edge::Right, big, small));
    EXPECT_FALSE(BorderForward(Edge::Left, small, big));
    EXPECT_TRUE(BorderForward(Edge::TopLeft, big, small));
}

TEST(Sizing, BorderInsideClientAndWindowSizes) {
    EXPECT_EQ(PictureRect(330, 250), (Rect{5, 5, 320, 240}));
    EXPECT_EQ(PictureRect(6, 6), (Rect{5, 5, 0, 0}));
    EXPECT_EQ(WindowForPicture(7, 8, 320, 240), (Rect{7, 8, 330, 250}));
    EXPECT_EQ(WindowForPicture(0, 0, 640, 480), (Rect{0, 0, 650, 490}));
    EXPECT_EQ(FullScreenRect(1600, 1200), (Rect{-5, -5, 1610, 1210}));
    EXPECT_EQ(LockedHeight(650), 487);
}

TEST(Sizing, StripRotatesByFourPixels) {
    std::vector<unsigned char> strip(3 * 6);
    for (size_t i = 0; i < strip.size(); ++i) strip[i] = static_cast<unsigned char>(i);
    auto fwd = strip;
    RotateStrip(fwd.data(), 6, true);
    EXPECT_EQ(fwd[0], 12);
    EXPECT_EQ(fwd[6], 0);
    RotateStrip(fwd.data(), 6, false);
    EXPECT_EQ(fwd, strip);
    RotateStrip(nullptr, 6, true);  // no strip: nothing
}

}  // namespace
}  // namespace orvane
