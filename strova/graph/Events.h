// The graph's event source: bus errors, run-state changes and filter reports
// become queued
// events with the codes the notification exports read (3 abort, 10 video
// size changed, 14 paused). Each queued event also posts the card's notify
// message (lParam = (card << 16) | 0x1234) to the notify window.
#pragma once

#include "strova/Strova.h"

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

namespace strova::graph {

inline constexpr long kEventAbort = 3;
inline constexpr long kEventVideoSizeChanged = 10;
inline constexpr long kEventPaused = 14;

// Abort result of a device that went away (the device is not connected).
inline constexpr uint32_t kDeviceGone = 0x8007048Fu;

struct GraphEvent {
  long code = 0;
  uintptr_t param1 = 0;
};

// The abort result for a GStreamer error: disk full, device gone, else E_FAIL.
uint32_t ErrorResult(const GError* err);

class EventQueue {
 public:
  // Watches the pipeline's bus from the streaming threads (sync handler).
  EventQueue(GstElement* pipeline, int card);
  ~EventQueue();
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  void SetNotifyWindow(STROVA_HWND window, unsigned int message);
  // Thread-safe.
  void Post(long code, uintptr_t param1);
  bool Next(GraphEvent* ev);
  // Reports a changed picture size seen at the renderer's input.
  void VideoSize(int width, int height);
  // Whether the card's source posted an error (unplugged, stalled) since
  // the last call; such a source must be opened anew to stream again.
  bool TakeSourceFailure() { return sourceFailed_.exchange(false); }

 private:
  static GstBusSyncReply OnMessage(GstBus* bus, GstMessage* msg, gpointer self);

  GstElement* pipeline_;
  int card_;
  std::mutex mu_;
  std::deque<GraphEvent> queue_;
  STROVA_HWND window_ = nullptr;
  unsigned int message_ = 0;
  int width_ = 0, height_ = 0;
  std::atomic<bool> sourceFailed_{false};
};

}  // namespace strova::graph
