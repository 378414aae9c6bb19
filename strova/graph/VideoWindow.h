// The preview's video window: a child X11 window of the owner window, placed
// at the video rectangle, that the renderer's overlay sink draws into. The
// window takes no input, so pointer and key events fall through to the owner.
// Without a display or an owner with an X11 window the video window still
// keeps its values, and the renderer draws nowhere.
#pragma once

#include "strova/Strova.h"

#include <gst/gst.h>

#include <memory>

typedef struct _XDisplay Display;

namespace strova::graph {

// Which overlay sink draws the preview.
enum class SinkKind { Headless, Gl, Xv, X };

// The sink for this display: glimagesink where GLX exists, else xvimagesink
// where an Xv adaptor exists, else ximagesink (behind videoscale). None when
// no display can be opened.
SinkKind ChooseSink();
const char* SinkFactory(SinkKind kind);

class VideoWindow {
 public:
  // Sets up the renderer bin (pad "Input") for the owner and returns the
  // window; call with the graph stopped.
  static std::unique_ptr<VideoWindow> Create(GstElement* renderer, STROVA_HWND owner);
  ~VideoWindow();
  VideoWindow(const VideoWindow&) = delete;
  VideoWindow& operator=(const VideoWindow&) = delete;

  STROVA_STATUS SetOwner(STROVA_HWND owner);
  STROVA_HWND Owner() const { return owner_; }
  STROVA_STATUS SetMessageDrain(STROVA_HWND drain);
  STROVA_STATUS SetWindowStyle(long style);
  // left, top, width, height inside the owner.
  STROVA_STATUS SetPosition(int left, int top, int width, int height);
  void Position(int* left, int* top, int* width, int* height) const;
  STROVA_STATUS SetVisible(bool visible);
  // E_NOTIMPL where there is no X11 window to show full screen.
  STROVA_STATUS SetFullScreen(bool on);
  bool FullScreen() const { return fullScreen_; }
  SinkKind Kind() const { return kind_; }
  unsigned long NativeWindow() const { return window_; }

 private:
  VideoWindow() = default;
  bool CreateNative(unsigned long parent);
  void Place();
  void UpdateScale(int width, int height);

  STROVA_HWND owner_ = nullptr;
  STROVA_HWND drain_ = nullptr;
  GstElement* sink_ = nullptr;   // ref held
  GstElement* scale_ = nullptr;  // window-size caps filter (X sink only); ref held
  SinkKind kind_ = SinkKind::Headless;
  Display* display_ = nullptr;
  unsigned long window_ = 0;
  unsigned long parent_ = 0;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = false;
  bool fullScreen_ = false;
  long style_ = 0;
};

}  // namespace strova::graph
