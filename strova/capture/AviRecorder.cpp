#include "strova/capture/AviRecorder.h"

#include <gst/gst.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace strova::capture {

struct AviRecorder::Done {
  std::mutex mutex;
  std::condition_variable cv;
  bool eos = false;
};

namespace {

GstElement* Chain(GstElement* bin, const char* pad, std::initializer_list<GstElement*> parts, GstElement* mux,
                  const char* muxPad) {
  GstElement* prev = nullptr;
  for (GstElement* e : parts) {
    gst_bin_add(GST_BIN(bin), e);
    if (prev) gst_element_link(prev, e);
    prev = e;
  }
  GstPad* src = gst_element_get_static_pad(prev, "src");
  GstPad* dst = gst_element_request_pad_simple(mux, muxPad);
  gst_pad_link(src, dst);
  gst_object_unref(src);
  gst_object_unref(dst);
  GstPad* target = gst_element_get_static_pad(*parts.begin(), "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new(pad, target));
  gst_object_unref(target);
  return prev;
}

GstElement* Caps(const char* text) {
  GstElement* f = gst_element_factory_make("capsfilter", nullptr);
  GstCaps* c = gst_caps_from_string(text);
  g_object_set(f, "caps", c, nullptr);
  gst_caps_unref(c);
  return f;
}

}  // namespace

AviRecorder::AviRecorder(bool withAudio) : audio_(withAudio), done_(new Done) {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  GstElement* mux = gst_element_factory_make("avimux", "AVI Mux");
  sink_ = gst_element_factory_make("filesink", "File writer");
  bin_ = gst_bin_new(nullptr);
  if (!mux || !sink_ || !bin_) {
    for (GstElement* e : {mux, sink_, bin_})
      if (e) gst_object_unref(e);
    bin_ = sink_ = nullptr;
    return;
  }
  gst_object_ref_sink(bin_);
  gst_bin_add_many(GST_BIN(bin_), mux, sink_, nullptr);
  gst_element_link(mux, sink_);
  Chain(bin_, "Input 01",
        {gst_element_factory_make("queue", nullptr), gst_element_factory_make("videoconvert", nullptr),
         gst_element_factory_make("videoscale", nullptr), Caps("video/x-raw,format=BGR,width=320,height=240")},
        mux, "video_%u");
  if (audio_)
    Chain(bin_, "Input 02",
          {gst_element_factory_make("queue", nullptr), gst_element_factory_make("audioconvert", nullptr),
           Caps("audio/x-raw,format=S16LE")},
          mux, "audio_%u");
  // The file is finished once end-of-stream has passed the writer.
  GstPad* pad = gst_element_get_static_pad(sink_, "sink");
  gst_pad_add_probe(
      pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
      +[](GstPad*, GstPadProbeInfo* info, gpointer data) {
        if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) {
          auto* d = static_cast<Done*>(data);
          std::lock_guard lock(d->mutex);
          d->eos = true;
          d->cv.notify_all();
        }
        return GST_PAD_PROBE_OK;
      },
      done_, nullptr);
  gst_object_unref(pad);
}

AviRecorder::~AviRecorder() {
  if (bin_) gst_object_unref(bin_);
  delete done_;
}

bool AviRecorder::SetFileName(const std::string& path) {
  if (!bin_ || path.empty()) return false;
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (::access(dir.c_str(), W_OK | X_OK) != 0) return false;
  g_object_set(sink_, "location", path.c_str(), nullptr);
  return true;
}

bool AviRecorder::Finish(int timeoutMs) {
  if (!bin_) return false;
  for (const char* name : {"Input 01", "Input 02"}) {
    GstPad* pad = gst_element_get_static_pad(bin_, name);
    if (!pad) continue;
    gst_pad_send_event(pad, gst_event_new_eos());
    gst_object_unref(pad);
  }
  std::unique_lock lock(done_->mutex);
  return done_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return done_->eos; });
}

}  // namespace strova::capture
