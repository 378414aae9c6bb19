#include "strova/capture/AviRecorder.h"

#include "strova/filters/AviFilters.h"

#include <gst/gst.h>

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

// Exposes the multiplexer bin's input on the outer bin under the same name.
void ExposeInput(GstElement* bin, GstElement* mux, const char* name) {
  GstPad* inner = gst_element_get_static_pad(mux, name);
  if (!inner) return;
  gst_element_add_pad(bin, gst_ghost_pad_new(name, inner));
  gst_object_unref(inner);
}

}  // namespace

AviRecorder::AviRecorder(bool withAudio) : audio_(withAudio), done_(new Done) {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  GstElement* mux = filters::MakeAviMux(withAudio);
  writer_ = filters::MakeFileWriter();
  bin_ = gst_bin_new(nullptr);
  if (!mux || !writer_ || !bin_) {
    for (GstElement* e : {mux, writer_, bin_})
      if (e) gst_object_unref(e);
    bin_ = writer_ = nullptr;
    return;
  }
  gst_object_ref_sink(bin_);
  gst_bin_add_many(GST_BIN(bin_), mux, writer_, nullptr);
  gst_element_link_pads(mux, "AVI Out", writer_, "in");
  ExposeInput(bin_, mux, "Input 01");
  if (audio_) ExposeInput(bin_, mux, "Input 02");
  // The file is finished once end-of-stream has passed the writer.
  GstPad* pad = gst_element_get_static_pad(writer_, "in");
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

bool AviRecorder::SetFileName(const std::string& path) { return filters::SetFileWriterName(writer_, path); }

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
