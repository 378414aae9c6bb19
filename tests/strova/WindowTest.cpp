// The live picture on screen under the test X server: the preview draws into
// a real X11 window of the caller, placed where the video rectangle says,
// moving, also after a standard change, and can take the whole screen.
#include <gtest/gtest.h>

#include "StrovaTestUtil.h"
#include "platform/Window.h"
#include "support/TestEnv.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace {

// Pixels of a screen area (what a screenshot shows), every 4th in each direction.
std::vector<uint32_t> Grab(Display* dpy, int x, int y, int w, int h) {
  std::vector<uint32_t> px;
  XImage* img = XGetImage(dpy, DefaultRootWindow(dpy), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                          AllPlanes, ZPixmap);
  if (!img) return px;
  for (int j = 0; j < h; j += 4)
    for (int i = 0; i < w; i += 4) px.push_back(static_cast<uint32_t>(XGetPixel(img, i, j)) & 0xFFFFFFu);
  XDestroyImage(img);
  return px;
}

size_t Colours(const std::vector<uint32_t>& px) { return std::set<uint32_t>(px.begin(), px.end()).size(); }

class StrovaWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dpy_ = XOpenDisplay(nullptr);
    if (!dpy_) GTEST_SKIP() << "no X display";
    // A plain grey owner window, so that black or grey means "no video".
    const int screen = DefaultScreen(dpy_);
    XSetWindowAttributes a{};
    a.background_pixel = 0x808080;
    a.override_redirect = True;
    owner_ = XCreateWindow(dpy_, DefaultRootWindow(dpy_), kOwnerX, kOwnerY, 640, 480, 0, CopyFromParent,
                           InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &a);
    (void)screen;
    XMapRaised(dpy_, owner_);
    XSync(dpy_, False);
    hwnd_ = plat::CreateWindowHandle("");
    plat::SetNativeWindow(hwnd_, owner_);
    ASSERT_EQ(Strova_Initialize(), S_OK);
    card_ = strova_test::VirtualCard();
  }
  void TearDown() override {
    if (!dpy_) return;
    Strova_Uninitialize();
    plat::DestroyWindowHandle(hwnd_);
    XDestroyWindow(dpy_, owner_);
    XCloseDisplay(dpy_);
  }

  // Waits for a picture in the screen area: many colours.
  bool PictureAt(int x, int y, int w, int h, std::vector<uint32_t>* px) {
    return strova_test::WaitFor([&] {
      *px = Grab(dpy_, x, y, w, h);
      return Colours(*px) > 16;
    }, 8000);
  }

  static constexpr int kOwnerX = 100, kOwnerY = 80;
  tellura::test::ScopedHome home_;
  Display* dpy_ = nullptr;
  Window owner_ = 0;
  plat::HWND hwnd_ = nullptr;
  int card_ = -1;
};

TEST_F(StrovaWindow, LivePictureFillsTheVideoRectangleAndMoves) {
  ASSERT_EQ(Strova_SetWindowPos(card_, 40, 30, 360, 270), E_FAIL);  // kept for the preview
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, hwnd_), S_OK);
  STROVA_HWND got = nullptr;
  EXPECT_EQ(Strova_GetOwnerWnd(card_, &got), S_OK);
  EXPECT_EQ(got, hwnd_);

  std::vector<uint32_t> first;
  ASSERT_TRUE(PictureAt(kOwnerX + 40, kOwnerY + 30, 320, 240, &first));
  // Outside the rectangle the owner's own grey shows.
  const std::vector<uint32_t> outside = Grab(dpy_, kOwnerX + 400, kOwnerY + 300, 100, 100);
  EXPECT_EQ(Colours(outside), 1u);
  std::vector<uint32_t> second;
  EXPECT_TRUE(strova_test::WaitFor([&] {
    second = Grab(dpy_, kOwnerX + 40, kOwnerY + 30, 320, 240);
    return second != first;
  }));

  // After a standard change the new format is agreed down to the screen: the
  // picture keeps moving (frames of the old format are few).
  ASSERT_EQ(Strova_SetVideoStandard(card_, 0x1 /* NTSC-M */), S_OK);
  int changes = 0;
  EXPECT_TRUE(strova_test::WaitFor([&] {
    std::vector<uint32_t> now = Grab(dpy_, kOwnerX + 40, kOwnerY + 30, 320, 240);
    if (now != second) ++changes;
    second = std::move(now);
    return changes >= 8;
  })) << changes << " changes";

  // Moved to the other corner: the picture follows.
  ASSERT_EQ(Strova_SetWindowPos(card_, 400, 300, 640, 480), S_OK);
  StrovaRect rect{};
  EXPECT_EQ(Strova_GetWindowPos(card_, &rect), S_OK);
  EXPECT_EQ(rect.left, 400);
  EXPECT_EQ(rect.bottom, 480);
  std::vector<uint32_t> moved;
  EXPECT_TRUE(PictureAt(kOwnerX + 400, kOwnerY + 300, 240, 180, &moved));
  EXPECT_TRUE(strova_test::WaitFor([&] { return Colours(Grab(dpy_, kOwnerX + 40, kOwnerY + 30, 300, 200)) == 1; }));
  EXPECT_EQ(Strova_DisconnectDevice(card_), S_OK);
}

TEST_F(StrovaWindow, FullScreenCoversTheScreenAndComesBack) {
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, hwnd_), S_OK);
  ASSERT_EQ(Strova_SetWindowPos(card_, 0, 0, 160, 120), S_OK);
  std::vector<uint32_t> px;
  ASSERT_TRUE(PictureAt(kOwnerX, kOwnerY, 160, 120, &px));
  ASSERT_EQ(Strova_FullScreen(card_, 1), S_OK);
  int full = 0;
  EXPECT_EQ(Strova_IsFullSrcMode(card_, &full), S_OK);
  EXPECT_EQ(full, 1);
  const int w = DisplayWidth(dpy_, DefaultScreen(dpy_)), h = DisplayHeight(dpy_, DefaultScreen(dpy_));
  // The right half of the screen, away from the owner window, shows the picture.
  EXPECT_TRUE(PictureAt(w / 2, 0, w / 2, h, &px));
  ASSERT_EQ(Strova_FullScreen(card_, 0), S_OK);
  EXPECT_EQ(Strova_IsFullSrcMode(card_, &full), S_OK);
  EXPECT_EQ(full, 0);
  // Back inside the owner: the bare screen (at most its two-colour weave) again.
  EXPECT_TRUE(strova_test::WaitFor([&] { return Colours(Grab(dpy_, w / 2, 0, w / 2, h)) <= 2; }));
  EXPECT_TRUE(PictureAt(kOwnerX, kOwnerY, 160, 120, &px));
}

TEST_F(StrovaWindow, OwnerWithoutNativeWindowShowsNothingUntilGivenOne) {
  plat::HWND bare = plat::CreateWindowHandle("");
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, bare), S_OK);
  ASSERT_EQ(Strova_SetWindowPos(card_, 0, 0, 200, 150), S_OK);
  EXPECT_EQ(Colours(Grab(dpy_, kOwnerX, kOwnerY, 200, 150)), 1u);
  ASSERT_EQ(Strova_SetOwnerWnd(card_, hwnd_), S_OK);  // the video moves into the owner
  std::vector<uint32_t> px;
  EXPECT_TRUE(PictureAt(kOwnerX, kOwnerY, 200, 150, &px));
  EXPECT_EQ(Strova_DisconnectDevice(card_), S_OK);
  plat::DestroyWindowHandle(bare);
}

}  // namespace
