#include "strova/filters/StreamFilters.h"

#include "strova/filters/FilterPads.h"

#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <memory>

namespace strova::filters {
namespace {

GstElement* Make(const char* factory) { return gst_element_factory_make(factory, nullptr); }

// Frees floating elements that were never added anywhere.
GstElement* Abandon(std::initializer_list<GstElement*> parts) {
  for (GstElement* e : parts)
    if (e) gst_object_unref(e);
  return nullptr;
}

GstElement* Queue(bool leaky) {
  GstElement* q = Make("queue");
  if (q && leaky)
    g_object_set(q, "leaky", 2 /* downstream */, "max-size-buffers", 3u, "max-size-bytes", 0u,
                 "max-size-time", static_cast<guint64>(0), nullptr);
  return q;
}

class DownScale {
 public:
  explicit DownScale(GstElement* caps) : caps_(caps) {}
  bool SetParam(uint32_t id, intptr_t value) {
    if (id == 0x700) on_ = value != 0;
    else if (id == 0x701) shift_ = static_cast<int>(std::clamp<intptr_t>(value, 0, 3));
    else return false;
    Apply();
    return true;
  }
  // Called with each new input format.
  void Input(int width, int height) {
    width_ = width;
    height_ = height;
    Apply();
  }

 private:
  void Apply() {
    const int w = width_.load(), h = height_.load();
    GstCaps* c = on_ && w > 0 && h > 0
                     ? gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, std::max(w >> shift_, 16), "height",
                                           G_TYPE_INT, std::max(h >> shift_, 16), nullptr)
                     : gst_caps_new_any();
    g_object_set(caps_, "caps", c, nullptr);
    gst_caps_unref(c);
  }

  GstElement* caps_;  // owned by the bin, which outlives this object's use
  std::atomic<bool> on_{false};
  std::atomic<int> shift_{1};
  std::atomic<int> width_{0}, height_{0};
};

GstPadProbeReturn OnScaleCaps(GstPad*, GstPadProbeInfo* info, gpointer data) {
  int w = 0, h = 0;
  if (CapsEventSize(info, &w, &h)) (*static_cast<std::shared_ptr<DownScale>*>(data))->Input(w, h);
  return GST_PAD_PROBE_OK;
}

}  // namespace

GstElement* MakeSmartTee() {
  GstElement* tee = Make("tee");
  GstElement* capture = Queue(false);
  GstElement* preview = Queue(true);
  GstElement* bin = gst_bin_new("Smart Tee");
  if (!tee || !capture || !preview || !bin) return Abandon({tee, capture, preview, bin});
  gst_bin_add_many(GST_BIN(bin), tee, capture, preview, nullptr);
  gst_element_link(tee, capture);
  gst_element_link(tee, preview);
  GhostPad(bin, tee, "sink", "Input");
  GhostPad(bin, capture, "src", "Capture");
  GhostPad(bin, preview, "src", "Preview");
  return bin;
}

ParamFilter MakeDownScaleFilter(bool deinterlace) {
  GstElement* fields = MakeDeinterlacer("deinterlace", deinterlace);
  GstElement* scale = Make("videoscale");
  GstElement* caps = Make("capsfilter");
  GstElement* bin = gst_bin_new("Vantrel Down Scale Filter");
  if (!fields || !scale || !caps || !bin) return {Abandon({fields, scale, caps, bin}), {}};
  // deinterlace answers a format question from downstream with everything it
  // could ever take; asking upstream instead lets the filter's output show
  // the format it will carry before the graph runs (the graph dump).
  GstPad* fieldsOut = gst_element_get_static_pad(fields, "src");
  GST_OBJECT_FLAG_SET(fieldsOut, GST_PAD_FLAG_PROXY_CAPS);
  gst_object_unref(fieldsOut);
  gst_bin_add_many(GST_BIN(bin), fields, scale, caps, nullptr);
  gst_element_link_many(fields, scale, caps, nullptr);
  GhostPad(bin, fields, "sink", "Input");
  GhostPad(bin, caps, "src", "Output");
  // The probe and the parameter interface share the state; the probe's copy
  // goes with the pad, the setter's with whoever holds the setter.
  auto state = std::make_shared<DownScale>(caps);
  GstPad* in = gst_element_get_static_pad(scale, "sink");
  gst_pad_add_probe(in, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnScaleCaps, new std::shared_ptr<DownScale>(state),
                    +[](gpointer p) { delete static_cast<std::shared_ptr<DownScale>*>(p); });
  gst_object_unref(in);
  return {bin, [state](uint32_t id, intptr_t value) { return state->SetParam(id, value); }};
}

}  // namespace strova::filters
