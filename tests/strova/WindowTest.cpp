// The live picture on screen under the test X server: the renderer's window
// shows the virtual card's moving picture (not black, not uniform, changing).
#include <gtest/gtest.h>

#include "StrovaTestUtil.h"
#include "support/TestEnv.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <set>
#include <vector>

namespace {

// Finds a mapped window of the given size anywhere below root.
Window FindWindow(Display* dpy, Window parent, int w, int h) {
  Window root, par, *kids = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(dpy, parent, &root, &par, &kids, &n)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < n && !found; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, kids[i], &a) && a.map_state == IsViewable && a.width == w && a.height == h)
      found = kids[i];
    else
      found = FindWindow(dpy, kids[i], w, h);
  }
  if (kids) XFree(kids);
  return found;
}

std::vector<uint32_t> Grab(Display* dpy, Window win, int w, int h) {
  // Read the screen where the window is, as a screenshot would.
  std::vector<uint32_t> px;
  int rx = 0, ry = 0;
  Window child;
  XTranslateCoordinates(dpy, win, DefaultRootWindow(dpy), 0, 0, &rx, &ry, &child);
  XImage* img = XGetImage(dpy, DefaultRootWindow(dpy), rx, ry, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (!img) return px;
  for (int y = 0; y < h; y += 4)
    for (int x = 0; x < w; x += 4) px.push_back(static_cast<uint32_t>(XGetPixel(img, x, y)) & 0xFFFFFFu);
  XDestroyImage(img);
  return px;
}

TEST(StrovaWindow, LivePictureIsOnScreenAndMoving) {
  tellura::test::ScopedHome home;
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) GTEST_SKIP() << "no X display";
  ASSERT_EQ(Strova_Initialize(), S_OK);
  const int card = strova_test::VirtualCard();
  // The owner handle is opaque to the renderer: any window of the caller.
  STROVA_HWND owner = reinterpret_cast<STROVA_HWND>(uintptr_t{1});
  ASSERT_EQ(Strova_ConnectDevice(card, 0, owner), S_OK);

  Window win = 0;
  ASSERT_TRUE(strova_test::WaitFor([&] { return (win = FindWindow(dpy, DefaultRootWindow(dpy), 720, 576)) != 0; }));
  std::vector<uint32_t> first;
  ASSERT_TRUE(strova_test::WaitFor([&] {
    first = Grab(dpy, win, 720, 576);
    return std::set<uint32_t>(first.begin(), first.end()).size() > 4;
  }));
  std::set<uint32_t> colours(first.begin(), first.end());
  EXPECT_GT(colours.size(), 4u);  // not black, not uniform
  std::vector<uint32_t> second;
  EXPECT_TRUE(strova_test::WaitFor([&] {
    second = Grab(dpy, win, 720, 576);
    return second != first;
  }));
  Strova_DisconnectDevice(card);
  Strova_Uninitialize();
  XCloseDisplay(dpy);
}

}  // namespace
