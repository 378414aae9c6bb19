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

// Stored rectangles from a settings file: sound ones stay where they are,
// (0,0) included; impossible ones come back on a monitor.
TEST(Sizing, StoredRectanglesOpenOnScreen) {
    const std::vector<Rect> one{{0, 0, 1280, 1024}};
    EXPECT_EQ(PlaceOnScreen({0, 0, 400, 300}, one), (Rect{0, 0, 400, 300}));
    EXPECT_EQ(PlaceOnScreen({-300, 10, 400, 300}, one), (Rect{-300, 10, 400, 300})) << "partly off, grabbable";
    EXPECT_EQ(PlaceOnScreen({-5000, -5000, 400, 300}, one), (Rect{0, 0, 400, 300}));
    EXPECT_EQ(PlaceOnScreen({2000000000, 2000000000, 400, 300}, one), (Rect{880, 724, 400, 300}));
    EXPECT_EQ(PlaceOnScreen({1250, 100, 400, 300}, one), (Rect{880, 100, 400, 300})) << "30 px on screen";
    EXPECT_EQ(PlaceOnScreen({10, 10, 2000000000, -7}, one), (Rect{10, 10, 1290, 60}));
    // Two monitors side by side: a window on the second stays; one beyond
    // both goes to the nearer.
    const std::vector<Rect> two{{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}};
    EXPECT_EQ(PlaceOnScreen({2000, 500, 400, 300}, two), (Rect{2000, 500, 400, 300}));
    EXPECT_EQ(PlaceOnScreen({5000, 500, 400, 300}, two), (Rect{2800, 500, 400, 300}));
    EXPECT_EQ(PlaceOnScreen({5, 6, 7, 8}, {}), (Rect{5, 6, 7, 8}));
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
