// tellura-probe as the README starts it: it lists the devices, and the card
// it previews shows a live picture in a window of its own.
#include <gtest/gtest.h>

#include "StrovaTestUtil.h"
#include "support/TestEnv.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Output(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

// The mapped top-level window with that name.
Window Named(Display* dpy, const char* name) {
  Window root, parent, *kids = nullptr;
  unsigned int n = 0;
  Window found = 0;
  if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &kids, &n)) return 0;
  for (unsigned int i = 0; i < n && !found; ++i) {
    char* title = nullptr;
    XWindowAttributes a;
    if (XFetchName(dpy, kids[i], &title) && title && !std::strcmp(title, name) &&
        XGetWindowAttributes(dpy, kids[i], &a) && a.map_state == IsViewable)
      found = kids[i];
    if (title) XFree(title);
  }
  if (kids) XFree(kids);
  return found;
}

std::vector<unsigned long> Shot(Display* dpy, Window w) {
  std::vector<unsigned long> px;
  XWindowAttributes a;
  if (!XGetWindowAttributes(dpy, w, &a)) return px;
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
  XImage* img = XGetImage(dpy, DefaultRootWindow(dpy), x, y, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  if (!img) return px;
  for (int j = 0; j < a.height; j += 8)
    for (int i = 0; i < a.width; i += 8) px.push_back(XGetPixel(img, i, j) & 0xFFFFFF);
  XDestroyImage(img);
  return px;
}

TEST(StrovaProbe, ListsTheVirtualCardAndPreviewsItLiveInItsWindow) {
  tellura::test::ScopedHome home;
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) GTEST_SKIP() << "no X display";
  const std::string probe = tellura::test::BinDir() + "/tellura-probe";
  const std::string list = Output("'" + probe + "' --list 2>/dev/null");
  ASSERT_NE(list.find("initialize: 0x00000000"), std::string::npos) << list;
  // The virtual card is the last video device.
  int card = -1;
  for (size_t at = list.find("video "); at != std::string::npos; at = list.find("video ", at + 1))
    if (list.find("Quorvel Tellura Capture", at) < list.find('\n', at)) card = std::atoi(list.c_str() + at + 6);
  ASSERT_GE(card, 0) << list;

  const pid_t pid = fork();
  if (pid == 0) {
    const std::string n = std::to_string(card);
    execl(probe.c_str(), probe.c_str(), "--card", n.c_str(), "--seconds", "6", static_cast<char*>(nullptr));
    _exit(127);
  }
  Window w = 0;
  EXPECT_TRUE(strova_test::WaitFor([&] { return (w = Named(dpy, "tellura-probe")) != 0; }, 8000));
  std::vector<unsigned long> first, second;
  if (w) {
    EXPECT_TRUE(strova_test::WaitFor([&] {
      first = Shot(dpy, w);
      return std::set<unsigned long>(first.begin(), first.end()).size() > 8;  // not black, not uniform
    }, 8000));
    EXPECT_TRUE(strova_test::WaitFor([&] { return (second = Shot(dpy, w)) != first; }));  // moving
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  XCloseDisplay(dpy);
}

// The last video device, which is the virtual card.
int VirtualCard(const std::string& probe) {
  const std::string list = Output("'" + probe + "' --list 2>/dev/null");
  int card = -1;
  for (size_t at = list.find("video "); at != std::string::npos; at = list.find("video ", at + 1))
    if (list.find("Quorvel Tellura Capture", at) < list.find('\n', at)) card = std::atoi(list.c_str() + at + 6);
  return card;
}

// Tuning, remote keys, recording and a still, as the README shows them.
TEST(StrovaProbe, TunesRecordsTakesAStillAndReportsRemoteKeys) {
  tellura::test::ScopedHome home;
  const std::string bin = tellura::test::BinDir();
  const std::string probe = bin + "/tellura-probe";
  const int card = VirtualCard(probe);
  ASSERT_GE(card, 0);
  const std::string mpg = home.path("clip.mpg"), bmp = home.path("still.bmp");
  // The keys are pressed while the probe watches (it polls every 100 ms).
  const std::string cmd = "( sleep 1.5; '" + bin + "/tellura-remote' 1 next ) & '" + probe + "' --card " +
                          std::to_string(card) + " --headless --seconds 3 --tune 189250 --keys --mode 2 --record '" +
                          mpg + "' --still '" + bmp + "' 2>&1; wait";
  const std::string out = Output(cmd);
  EXPECT_NE(out.find("tune 189250 kHz: 1"), std::string::npos) << out;
  EXPECT_NE(out.find("start capture " + mpg + ": 1"), std::string::npos) << out;
  EXPECT_NE(out.find("key 50\n"), std::string::npos) << "channel up arrives through the poll\n" << out;
  EXPECT_NE(out.find("stop capture: 1"), std::string::npos) << out;
  const std::string streams = Output("ffprobe -v error -show_entries stream=codec_name,width,height -of compact '" + mpg + "'");
  EXPECT_NE(streams.find("mpeg2video|width=720|height=576"), std::string::npos) << streams;
  const std::string still = Output("identify -format '%m %w %h' '" + bmp + "' 2>&1");
  EXPECT_EQ(still.rfind("BMP", 0), 0u) << still;
}

}  // namespace
