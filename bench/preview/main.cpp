// bench-preview: the virtual card previewed into an X11 window: time from
// Strova_ConnectDevice to the first picture on screen, frames shown per
// second and CPU seconds per second of preview (deinterlaced, and with the
// deinterlacer off), each beside a plain gst-launch-1.0 pipeline of the same
// shape (live interlaced 720 x 576 source, the same deinterlace method,
// scaled to the 640 x 480 preview format, into the same video sink) run in
// the same run; and the time from a standard change to the first picture of
// the new standard at the video sink, beside the same caps change in a plain
// pipeline (without its deinterlacer, see PlainSwitches).
//   bench-preview [--seconds S]   (default 20; needs DISPLAY)
#include "platform/Window.h"
#include "strova/Strova.h"
#include "strova/core/Context.h"
#include "strova/graph/Branches.h"
#include "strova/graph/VideoWindow.h"

#include <gst/video/videooverlay.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 640, kHeight = 480;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds(const rusage& r) {
  return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

double SelfCpu() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return CpuSeconds(r);
}

struct PreviewWindow {
  Display* display = XOpenDisplay(nullptr);
  Window window = 0;
  plat::HWND hwnd = nullptr;

  bool Open() {
    if (!display) return false;
    XSetWindowAttributes a{};
    a.background_pixel = 0x808080;
    a.override_redirect = True;
    window = XCreateWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0, CopyFromParent,
                           InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &a);
    XMapRaised(display, window);
    XSync(display, False);
    hwnd = plat::CreateWindowHandle("");
    plat::SetNativeWindow(hwnd, window);
    return true;
  }
  // True once the window shows a picture rather than its plain grey.
  bool ShowsPicture() {
    XImage* img = XGetImage(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    if (!img) return false;
    std::set<unsigned long> colours;
    for (int y = 0; y < kHeight && colours.size() <= 8; y += 16)
      for (int x = 0; x < kWidth; x += 16) colours.insert(XGetPixel(img, x, y) & 0xFFFFFF);
    XDestroyImage(img);
    return colours.size() > 8;
  }
  // Seconds until the picture shows, or -1 after 10 s.
  double WaitForPicture(Clock::time_point start) {
    while (Seconds(Clock::now() - start) < 10) {
      if (ShowsPicture()) return Seconds(Clock::now() - start);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return -1;
  }
  // Paints the window grey again between runs.
  void Clear() {
    XClearWindow(display, window);
    XSync(display, False);
  }
  ~PreviewWindow() {
    if (hwnd) plat::DestroyWindowHandle(hwnd);
    if (display) XCloseDisplay(display);
  }
};

struct Figures {
  double firstFrame = -1, fps = 0, cpuPerSecond = 0;
};

GstPadProbeReturn Count(GstPad*, GstPadProbeInfo*, gpointer n) {
  static_cast<std::atomic<int>*>(n)->fetch_add(1);
  return GST_PAD_PROBE_OK;
}

// Counts the frames reaching the video sink inside a bin.
bool CountFrames(GstElement* bin, std::atomic<int>* frames) {
  GstElement* sink = gst_bin_get_by_name(GST_BIN(bin), "sink");
  if (!sink) return false;
  GstPad* pad = gst_element_get_static_pad(sink, "sink");
  gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, Count, frames, nullptr);
  gst_object_unref(pad);
  gst_object_unref(sink);
  return true;
}

Figures MeasureLibrary(PreviewWindow& screen, double seconds, bool deinterlace) {
  Figures f;
  Strova_Initialize();
  Strova_SetDeinterlace(deinterlace ? 1 : 0);
  int count = 0;
  Strova_GetCardNumber(&count);
  const int card = count - 1;  // the virtual card
  Strova_SetWindowPos(card, 0, 0, kWidth, kHeight);
  const auto start = Clock::now();
  if (Strova_ConnectDevice(card, 0, screen.hwnd) != S_OK) return f;
  f.firstFrame = screen.WaitForPicture(start);
  std::atomic<int> frames{0};
  strova::core::CardContext* c = strova::core::CardAt(card);
  CountFrames(strova::graph::FindFilter(*c, strova::graph::kRenderer), &frames);
  const double cpu0 = SelfCpu();
  const auto t0 = Clock::now();
  const int frames0 = frames.load();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double wall = Seconds(Clock::now() - t0);
  f.fps = (frames.load() - frames0) / wall;
  f.cpuPerSecond = (SelfCpu() - cpu0) / wall;
  Strova_DisconnectDevice(card);
  Strova_Uninitialize();
  return f;
}

// The deinterlace settings the library's preview uses.
constexpr const char* kDeinterlace = "deinterlace method=greedyh fields=top";

// The source's format as the card's standard gives it: 625 or 525 lines.
std::string StandardCaps(bool ntsc) {
  return std::string("video/x-raw,format=I420,width=720,interlace-mode=interleaved,") +
         (ntsc ? "height=480,framerate=30000/1001,field-order=bottom-field-first"
               : "height=576,framerate=25/1,field-order=top-field-first");
}

std::string PlainPipeline(const char* sink, int buffers, bool deinterlace = true) {
  return std::string("videotestsrc is-live=true pattern=smpte num-buffers=") + std::to_string(buffers) +
         " ! capsfilter name=standard caps=\"" + StandardCaps(false) + "\" ! " +
         (deinterlace ? kDeinterlace : "identity") +
         " ! videoconvert ! videoscale ! video/x-raw,format=YUY2,width=640,height=480 ! queue ! videoconvert ! " +
         sink + " name=sink";
}

// The first picture of the plain pipeline, drawn into the same window.
double PlainFirstFrame(PreviewWindow& screen, const char* sink) {
  screen.Clear();
  GError* err = nullptr;
  GstElement* pipe = gst_parse_launch(PlainPipeline(sink, 250).c_str(), &err);
  if (err) g_error_free(err);
  if (!pipe) return -1;
  GstElement* s = gst_bin_get_by_name(GST_BIN(pipe), "sink");
  if (s && GST_IS_VIDEO_OVERLAY(s)) gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(s), screen.window);
  if (s) gst_object_unref(s);
  const auto start = Clock::now();
  gst_element_set_state(pipe, GST_STATE_PLAYING);
  const double t = screen.WaitForPicture(start);
  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_object_unref(pipe);
  return t;
}

// Frames per second and CPU per second of gst-launch-1.0 as its own process.
Figures MeasurePlain(const char* sink, double seconds, bool deinterlace) {
  Figures f;
  const int buffers = static_cast<int>(seconds * 25);
  const std::string cmd = "exec gst-launch-1.0 -q " + PlainPipeline(sink, buffers, deinterlace) + " >/dev/null 2>&1";
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage r{};
  wait4(pid, &status, 0, &r);
  const double wall = Seconds(Clock::now() - t0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return f;
  f.fps = buffers / wall;  // includes start-up: a slight under-estimate
  f.cpuPerSecond = CpuSeconds(r) / wall;
  return f;
}

// Time from a standard change to its first picture at the video sink: the
// first buffer of the new height leaving the source is noted by its time
// stamp, and the change counts as shown when a buffer of that time or later
// reaches the sink.
struct StandardWatch {
  std::atomic<int> wantHeight{0};
  std::atomic<GstClockTime> firstPts{GST_CLOCK_TIME_NONE};
  std::atomic<bool> shown{false};
  Clock::time_point shownAt;

  void Arm(int height) {
    shown = false;
    firstPts = GST_CLOCK_TIME_NONE;
    wantHeight = height;
  }
  // Milliseconds from start until shown, or -1 after 3 s.
  double WaitShown(Clock::time_point start) {
    while (!shown && Seconds(Clock::now() - start) < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return shown ? Seconds(shownAt - start) * 1000 : -1;
  }
};

GstPadProbeReturn AtSource(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
  auto* w = static_cast<StandardWatch*>(data);
  if (w->wantHeight == 0 || w->firstPts != GST_CLOCK_TIME_NONE) return GST_PAD_PROBE_OK;
  int h = 0;
  if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
    gst_structure_get_int(gst_caps_get_structure(caps, 0), "height", &h);
    gst_caps_unref(caps);
  }
  if (h == w->wantHeight) w->firstPts = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
  return GST_PAD_PROBE_OK;
}

GstPadProbeReturn AtSink(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* w = static_cast<StandardWatch*>(data);
  const GstClockTime first = w->firstPts;
  if (!w->shown && first != GST_CLOCK_TIME_NONE && GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info)) >= first) {
    w->shownAt = Clock::now();
    w->shown = true;
  }
  return GST_PAD_PROBE_OK;
}

void Watch(GstElement* element, const char* padName, GstPadProbeCallback cb, StandardWatch* w) {
  GstPad* pad = element ? gst_element_get_static_pad(element, padName) : nullptr;
  if (pad) {
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, cb, w, nullptr);
    gst_object_unref(pad);
  }
}

GstElement* Named(GstElement* bin, const char* name) {
  GstElement* e = bin ? gst_bin_get_by_name(GST_BIN(bin), name) : nullptr;
  if (e) gst_object_unref(e);  // the bin keeps it
  return e;
}

constexpr int kSwitches = 10;

// Median and maximum of the switch times, alternating 525 and 625 lines.
struct SwitchFigures {
  double median = -1, worst = -1;
};

template <typename Switch>
SwitchFigures MeasureSwitches(StandardWatch& w, Switch change) {
  std::vector<double> ms;
  for (int i = 0; i < kSwitches; ++i) {
    const bool ntsc = i % 2 == 0;
    w.Arm(ntsc ? 480 : 576);
    const auto start = Clock::now();
    change(ntsc);
    const double t = w.WaitShown(start);
    if (t < 0) return {};
    ms.push_back(t);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let the stream settle between switches
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back()};
}

SwitchFigures LibrarySwitches(PreviewWindow& screen) {
  Strova_Initialize();
  int count = 0;
  Strova_GetCardNumber(&count);
  const int card = count - 1;
  Strova_SetWindowPos(card, 0, 0, kWidth, kHeight);
  SwitchFigures f;
  StandardWatch w;  // outlives the graph, whose probes point at it
  if (Strova_ConnectDevice(card, 0, screen.hwnd) == S_OK && screen.WaitForPicture(Clock::now()) >= 0) {
    strova::core::CardContext* c = strova::core::CardAt(card);
    Watch(Named(c->captureFilter, "source"), "src", AtSource, &w);
    Watch(Named(strova::graph::FindFilter(*c, strova::graph::kRenderer), "sink"), "sink", AtSink, &w);
    f = MeasureSwitches(w, [card](bool ntsc) { Strova_SetVideoStandard(card, ntsc ? 0x1 : 0x10); });
  }
  Strova_DisconnectDevice(card);
  Strova_Uninitialize();
  return f;
}

SwitchFigures PlainSwitches(PreviewWindow& screen, const char* sink) {
  GError* err = nullptr;
  // Without the deinterlacer: GStreamer's deinterlace asks a GL sink for its
  // formats in a way that answers only GL memory, so a plain pipeline with it
  // does not agree on the new format at all (the library's pins work round it).
  GstElement* pipe = gst_parse_launch(PlainPipeline(sink, 100000, false).c_str(), &err);
  if (err) g_error_free(err);
  if (!pipe) return {};
  GstElement* s = Named(pipe, "sink");
  if (s && GST_IS_VIDEO_OVERLAY(s)) gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(s), screen.window);
  GstElement* standard = Named(pipe, "standard");
  StandardWatch w;
  Watch(standard, "src", AtSource, &w);
  Watch(s, "sink", AtSink, &w);
  gst_element_set_state(pipe, GST_STATE_PLAYING);
  SwitchFigures f;
  if (screen.WaitForPicture(Clock::now()) >= 0)
    f = MeasureSwitches(w, [standard](bool ntsc) {
      GstCaps* caps = gst_caps_from_string(StandardCaps(ntsc).c_str());
      g_object_set(standard, "caps", caps, nullptr);
      gst_caps_unref(caps);
    });
  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_object_unref(pipe);
  return f;
}

void Row(const char* what, double ours, double plain, const char* unit) {
  std::printf("%-34s library %9.3f %-6s  gst-launch %9.3f %-6s  ratio %.2f\n", what, ours, unit, plain, unit,
              plain > 0 ? ours / plain : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 20;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atof(argv[++i]);
  }
  gst_init(&argc, &argv);
  PreviewWindow screen;
  if (!screen.Open()) {
    std::fprintf(stderr, "bench-preview needs an X display (DISPLAY)\n");
    return 1;
  }
  const char* sink = strova::graph::SinkFactory(strova::graph::ChooseSink());
  std::printf("video sink: %s, %.0f s each\n", sink, seconds);
  const Figures ours = MeasureLibrary(screen, seconds, true);
  const Figures woven = MeasureLibrary(screen, seconds, false);
  const double plainFirst = PlainFirstFrame(screen, sink);
  const Figures plain = MeasurePlain(sink, seconds, true);
  const Figures plainWoven = MeasurePlain(sink, seconds, false);
  const SwitchFigures switches = LibrarySwitches(screen);
  const SwitchFigures plainSwitches = PlainSwitches(screen, sink);
  Row("connect to first frame on screen", ours.firstFrame * 1000, plainFirst * 1000, "ms");
  Row("frames shown per second", ours.fps, plain.fps, "fps");
  Row("CPU s/s of preview, deinterlaced", ours.cpuPerSecond, plain.cpuPerSecond, "s/s");
  Row("CPU s/s of preview, not deinterlaced", woven.cpuPerSecond, plainWoven.cpuPerSecond, "s/s");
  Row("standard change to picture, median", switches.median, plainSwitches.median, "ms");
  Row("standard change to picture, worst", switches.worst, plainSwitches.worst, "ms");
  std::printf("(%d standard changes each, 525 and 625 lines in turn; target: picture back within 300 ms)\n",
              kSwitches);
  return ours.firstFrame < 0 || switches.worst < 0 ? 1 : 0;
}
