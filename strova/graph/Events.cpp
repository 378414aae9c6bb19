#include "strova/graph/Events.h"

#include "platform/Window.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace strova::graph {
namespace {

// The element reading a device node that is no longer in /dev: whichever
// of its errors comes first (a poll error, a failed queue, the streaming
// loop stopping), the device went away.
bool SourceNodeGone(GstMessage* msg) {
  GObject* src = G_OBJECT(GST_MESSAGE_SRC(msg));
  if (!src || !GST_IS_ELEMENT(src)) return false;
  GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(src), "device");
  if (!spec || spec->value_type != G_TYPE_STRING) return false;
  gchar* device = nullptr;
  g_object_get(src, "device", &device, nullptr);
  struct stat st;
  const bool gone = device && g_str_has_prefix(device, "/dev/") && stat(device, &st) != 0 && errno == ENOENT;
  g_free(device);
  return gone;
}

// An element inside the card's source (the capture element, its watchdog).
bool FromCardSource(GstMessage* msg) {
  for (GstObject* o = GST_MESSAGE_SRC(msg); o; o = GST_OBJECT_PARENT(o))
    if (GST_IS_ELEMENT(o) && g_strcmp0(GST_OBJECT_NAME(o), "source") == 0) return true;
  return false;
}

}  // namespace

uint32_t ErrorResult(const GError* err) {
  if (!err) return static_cast<uint32_t>(E_FAIL);
  if (err->domain == GST_RESOURCE_ERROR) {
    if (err->code == GST_RESOURCE_ERROR_NO_SPACE_LEFT) return static_cast<uint32_t>(STROVA_E_DISK_FULL);
    if (err->code == GST_RESOURCE_ERROR_NOT_FOUND || err->code == GST_RESOURCE_ERROR_OPEN_READ ||
        err->code == GST_RESOURCE_ERROR_READ)
      return kDeviceGone;
  }
  // Writers that fail with ENOSPC report it in the message text.
  if (err->message && std::strstr(err->message, std::strerror(ENOSPC)))
    return static_cast<uint32_t>(STROVA_E_DISK_FULL);
  return static_cast<uint32_t>(E_FAIL);
}

EventQueue::EventQueue(GstElement* pipeline, int card) : pipeline_(pipeline), card_(card) {
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, OnMessage, this, nullptr);
  gst_object_unref(bus);
}

EventQueue::~EventQueue() {
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  gst_object_unref(bus);
}

void EventQueue::SetNotifyWindow(STROVA_HWND window, unsigned int message) {
  std::lock_guard lock(mu_);
  window_ = window;
  message_ = message;
}

void EventQueue::Post(long code, uintptr_t param1) {
  STROVA_HWND window;
  unsigned int message;
  {
    std::lock_guard lock(mu_);
    queue_.push_back({code, param1});
    window = window_;
    message = message_;
  }
  const intptr_t lParam = static_cast<intptr_t>(((static_cast<uint32_t>(card_) & 0xFFFFu) << 16) | NOTIFY_GRAPH_EVENT);
  if (window) plat::PostMessage(window, message, 0, lParam);
}

bool EventQueue::Next(GraphEvent* ev) {
  std::lock_guard lock(mu_);
  if (queue_.empty()) return false;
  *ev = queue_.front();
  queue_.pop_front();
  return true;
}

void EventQueue::VideoSize(int width, int height) {
  {
    std::lock_guard lock(mu_);
    const bool changed = width_ != 0 && (width != width_ || height != height_);
    width_ = width;
    height_ = height;
    if (!changed) return;
  }
  Post(kEventVideoSizeChanged, (static_cast<uint32_t>(width) & 0xFFFFu) | ((static_cast<uint32_t>(height) & 0xFFFFu) << 16));
}

GstBusSyncReply EventQueue::OnMessage(GstBus*, GstMessage* msg, gpointer data) {
  auto* self = static_cast<EventQueue*>(data);
  switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_ERROR: {
      GError* err = nullptr;
      gchar* debug = nullptr;
      gst_message_parse_error(msg, &err, &debug);
      uint32_t result = ErrorResult(err);
      // A capture node that went away says so in its details (ENODEV).
      if (result == static_cast<uint32_t>(E_FAIL) &&
          ((debug && std::strstr(debug, std::strerror(ENODEV))) || SourceNodeGone(msg)))
        result = kDeviceGone;
      if (FromCardSource(msg)) self->sourceFailed_ = true;
      self->Post(kEventAbort, result);
      if (err) g_error_free(err);
      g_free(debug);
      break;
    }
    default:
      break;
  }
  // Nothing pops the bus: every message ends here. A sync handler that drops
  // a message owns it; each message holds its source element, so one not
  // released would keep every filter that ever posted alive.
  gst_message_unref(msg);
  return GST_BUS_DROP;
}

}  // namespace strova::graph
