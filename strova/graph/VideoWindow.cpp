#include "strova/graph/VideoWindow.h"

#include "platform/Window.h"
#include "strova/graph/Graph.h"

#include <gst/video/videooverlay.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <mutex>
#include <string>

namespace strova::graph {
namespace {

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// Runs X calls on our own connection with errors ignored (a window that is
// gone must not end the process), then waits for the server to answer.
template <typename F>
void Guarded(Display* d, F&& f) {
  if (!d) return;
  auto previous = XSetErrorHandler(IgnoreXError);
  f();
  XSync(d, False);
  XSetErrorHandler(previous);
}

bool HasExtension(Display* d, const char* name) {
  int op = 0, ev = 0, err = 0;
  return XQueryExtension(d, name, &op, &ev, &err);
}

bool FactoryExists(const char* name) {
  GstElementFactory* f = gst_element_factory_find(name);
  if (f) gst_object_unref(f);
  return f != nullptr;
}

// xvimagesink opens its Xv port when it goes to READY: that fails when the
// server lists the extension but has no usable adaptor.
bool XvUsable() {
  GstElement* sink = gst_element_factory_make("xvimagesink", nullptr);
  if (!sink) return false;
  gst_object_ref_sink(sink);
  const bool ok = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
  gst_element_set_state(sink, GST_STATE_NULL);
  gst_object_unref(sink);
  return ok;
}

// TELLURA_VIDEO_SINK=gl|xv|x picks the sink where it exists (for drivers
// whose GL misbehaves); anything else leaves the choice to the probe.
bool ForcedSink(SinkKind* kind) {
  const char* forced = std::getenv("TELLURA_VIDEO_SINK");
  if (!forced) return false;
  const std::string name = forced;
  const SinkKind k = name == "gl" ? SinkKind::Gl : name == "xv" ? SinkKind::Xv : name == "x" ? SinkKind::X
                                                                                            : SinkKind::Headless;
  if (k == SinkKind::Headless || !FactoryExists(SinkFactory(k))) return false;
  *kind = k;
  return true;
}

SinkKind ProbeSink() {
  SinkKind forced = SinkKind::Headless;
  if (ForcedSink(&forced)) return forced;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return SinkKind::Headless;
  const bool glx = HasExtension(d, "GLX"), xv = HasExtension(d, "XVideo");
  XCloseDisplay(d);
  if (glx && FactoryExists("glimagesink")) return SinkKind::Gl;
  if (xv && FactoryExists("xvimagesink") && XvUsable()) return SinkKind::Xv;
  return FactoryExists("ximagesink") ? SinkKind::X : SinkKind::Headless;
}

// Empties the renderer bin and links convert [! scale ! size] ! sink to its
// "Input" pin.
bool BuildRenderer(GstElement* renderer, GstElement* sink, GstElement* size) {
  GstBin* bin = GST_BIN(renderer);
  while (bin->children) {
    GstElement* child = GST_ELEMENT(bin->children->data);
    gst_element_set_state(child, GST_STATE_NULL);
    gst_bin_remove(bin, child);
  }
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  GstElement* scale = size ? gst_element_factory_make("videoscale", nullptr) : nullptr;
  if (!convert || (size && !scale)) return false;
  gst_bin_add_many(bin, convert, sink, nullptr);
  bool linked;
  if (size) {
    gst_bin_add_many(bin, scale, size, nullptr);
    linked = gst_element_link_many(convert, scale, size, sink, nullptr);
  } else {
    linked = gst_element_link(convert, sink);
  }
  GstPad* target = gst_element_get_static_pad(convert, "sink");
  GstPad* input = gst_element_get_static_pad(renderer, "Input");
  const bool ok = linked && input && gst_ghost_pad_set_target(GST_GHOST_PAD(input), target);
  if (input) gst_object_unref(input);
  gst_object_unref(target);
  return ok;
}

unsigned long NativeOf(STROVA_HWND owner) {
  return (owner && plat::IsWindow(owner)) ? plat::GetNativeWindow(owner) : 0;
}

}  // namespace

SinkKind ChooseSink() {
  static std::mutex mu;
  static std::string display = "\x01";
  static SinkKind kind = SinkKind::Headless;
  std::lock_guard lock(mu);
  const char* now = std::getenv("DISPLAY");
  const std::string current = now ? now : "";
  if (current != display) {
    kind = current.empty() ? SinkKind::Headless : ProbeSink();
    display = current;
  }
  return kind;
}

const char* SinkFactory(SinkKind kind) {
  switch (kind) {
    case SinkKind::Gl: return "glimagesink";
    case SinkKind::Xv: return "xvimagesink";
    case SinkKind::X: return "ximagesink";
    default: return "fakesink";
  }
}

std::unique_ptr<VideoWindow> VideoWindow::Create(GstElement* renderer, STROVA_HWND owner) {
  if (!renderer || !GST_IS_BIN(renderer)) return nullptr;
  std::unique_ptr<VideoWindow> w(new VideoWindow());
  w->owner_ = owner;
  // Without an owner the preview is not shown anywhere.
  const SinkKind kind = owner ? ChooseSink() : SinkKind::Headless;
  Display* display = kind != SinkKind::Headless ? XOpenDisplay(nullptr) : nullptr;
  w->kind_ = display ? kind : SinkKind::Headless;
  w->display_ = display;
  GstElement* sink = gst_element_factory_make(SinkFactory(w->kind_), "sink");
  GstElement* size = w->kind_ == SinkKind::X ? gst_element_factory_make("capsfilter", "window-size") : nullptr;
  if (!sink) return nullptr;
  w->sink_ = GST_ELEMENT(gst_object_ref(sink));
  if (size) w->scale_ = GST_ELEMENT(gst_object_ref(size));
  g_object_set(sink, "sync", TRUE, nullptr);
  if (w->kind_ != SinkKind::Headless) {
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "force-aspect-ratio"))
      g_object_set(sink, "force-aspect-ratio", FALSE, nullptr);
    gst_video_overlay_handle_events(GST_VIDEO_OVERLAY(sink), FALSE);
    if (!w->CreateNative(NativeOf(owner))) return nullptr;
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink), w->window_);
  }
  if (!BuildRenderer(renderer, sink, size)) return nullptr;
  return w;
}

VideoWindow::~VideoWindow() {
  if (sink_) {
    // The sink must not draw into a window that is about to go.
    if (kind_ != SinkKind::Headless) {
      gst_element_set_state(sink_, GST_STATE_NULL);
      gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(sink_), 0);
    }
    gst_object_unref(sink_);
  }
  if (scale_) gst_object_unref(scale_);
  if (display_) {
    Guarded(display_, [&] {
      if (!window_) return;
      // A sink that made a window of its own inside ours closes it from its
      // own thread, maybe later: move it out so it outlives ours.
      Window root = 0, parent = 0, *kids = nullptr;
      unsigned int n = 0;
      if (XQueryTree(display_, window_, &root, &parent, &kids, &n)) {
        for (unsigned int i = 0; i < n; ++i) {
          XUnmapWindow(display_, kids[i]);
          XReparentWindow(display_, kids[i], root, 0, 0);
        }
        if (kids) XFree(kids);
      }
      XDestroyWindow(display_, window_);
    });
    XCloseDisplay(display_);
  }
}

bool VideoWindow::CreateNative(unsigned long parent) {
  parent_ = parent;
  const Window root = DefaultRootWindow(display_);
  Guarded(display_, [&] {
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(display_, DefaultScreen(display_));
    a.event_mask = 0;  // input falls through to the owner
    window_ = XCreateWindow(display_, parent ? parent : root, 0, 0, 1, 1, 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWBackPixel | CWEventMask, &a);
  });
  if (!window_) return false;
  // The owner may be gone already: then the window was not made.
  XWindowAttributes attrs;
  bool exists = false;
  Guarded(display_, [&] { exists = XGetWindowAttributes(display_, window_, &attrs) != 0; });
  if (!exists && parent) {
    parent_ = 0;
    Guarded(display_, [&] {
      window_ = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, 0, 0);
    });
  }
  return window_ != 0;
}

void VideoWindow::UpdateScale(int width, int height) {
  if (!scale_) return;
  GstCaps* caps = width > 0 && height > 0
                      ? gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                            nullptr)
                      : gst_caps_new_any();
  g_object_set(scale_, "caps", caps, nullptr);
  gst_caps_unref(caps);
}

void VideoWindow::Place() {
  if (!window_) return;
  // The owner may have got its X11 window only after the preview was built.
  if (!fullScreen_ && NativeOf(owner_) != parent_) {
    parent_ = NativeOf(owner_);
    Guarded(display_, [&] {
      XReparentWindow(display_, window_, parent_ ? parent_ : DefaultRootWindow(display_), left_, top_);
    });
  }
  const int width = fullScreen_ ? DisplayWidth(display_, DefaultScreen(display_)) : width_;
  const int height = fullScreen_ ? DisplayHeight(display_, DefaultScreen(display_)) : height_;
  Guarded(display_, [&] {
    if (!fullScreen_) XMoveResizeWindow(display_, window_, left_, top_, width > 0 ? width : 1, height > 0 ? height : 1);
    // Only a window inside a real owner is shown.
    if ((visible_ && parent_) || fullScreen_) XMapRaised(display_, window_);
    else XUnmapWindow(display_, window_);
  });
  UpdateScale(width, height);
  if (!sink_ || kind_ == SinkKind::Headless) return;
  // Sinks that scale draw over the whole window.
  if (kind_ != SinkKind::X && width > 0 && height > 0)
    gst_video_overlay_set_render_rectangle(GST_VIDEO_OVERLAY(sink_), 0, 0, width, height);
  // A sink that has not reached PAUSED has no drawing context yet (the GL sink
  // complains); it draws into the window when its first picture comes.
  // The GL sink has no drawing context before PAUSED (it complains of a
  // missing context); it draws into the window when its first picture comes.
  if (kind_ != SinkKind::Gl || GST_STATE(sink_) >= GST_STATE_PAUSED)
    gst_video_overlay_expose(GST_VIDEO_OVERLAY(sink_));
}

STROVA_STATUS VideoWindow::SetOwner(STROVA_HWND owner) {
  owner_ = owner;
  Place();  // moves the window into the new owner
  return S_OK;
}

STROVA_STATUS VideoWindow::SetMessageDrain(STROVA_HWND drain) {
  drain_ = drain;
  return S_OK;
}

STROVA_STATUS VideoWindow::SetWindowStyle(long style) {
  style_ = style;
  return S_OK;
}

STROVA_STATUS VideoWindow::SetPosition(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Place();
  return S_OK;
}

void VideoWindow::Position(int* left, int* top, int* width, int* height) const {
  *left = left_;
  *top = top_;
  *width = width_;
  *height = height_;
}

STROVA_STATUS VideoWindow::SetVisible(bool visible) {
  visible_ = visible;
  Place();
  return S_OK;
}

STROVA_STATUS VideoWindow::SetFullScreen(bool on) {
  if (!window_) return on ? E_NOTIMPL : S_OK;
  if (on == fullScreen_) return S_OK;
  fullScreen_ = on;
  const Window root = DefaultRootWindow(display_);
  Guarded(display_, [&] {
    XSetWindowAttributes a{};
    a.override_redirect = on ? True : False;  // above every other window, unmanaged
    XChangeWindowAttributes(display_, window_, CWOverrideRedirect, &a);
    if (on) {
      XReparentWindow(display_, window_, root, 0, 0);
      XMoveResizeWindow(display_, window_, 0, 0, DisplayWidth(display_, DefaultScreen(display_)),
                        DisplayHeight(display_, DefaultScreen(display_)));
    } else {
      XReparentWindow(display_, window_, parent_ ? parent_ : root, left_, top_);
    }
  });
  Place();
  return S_OK;
}

}  // namespace strova::graph

namespace strova::graph {

GstElement* MakeRenderer() {
  GstElement* bin = gst_bin_new(nullptr);
  gst_element_add_pad(bin, gst_ghost_pad_new_no_target("Input", GST_PAD_SINK));
  // Until a video window is set up the frames go nowhere, at their pace.
  GstElement* sink = gst_element_factory_make("fakesink", "sink");
  if (!sink) {
    gst_object_unref(bin);
    return nullptr;
  }
  g_object_set(sink, "sync", TRUE, nullptr);
  if (!BuildRenderer(bin, sink, nullptr)) {
    gst_object_unref(bin);
    return nullptr;
  }
  return bin;
}

}  // namespace strova::graph
