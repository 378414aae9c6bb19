#include "strova/filters/AviFilters.h"

#include "strova/capture/RecordingProfile.h"
#include "strova/filters/FilterPads.h"

#include <gst/gst.h>

#include <initializer_list>

namespace strova::filters {
namespace {

GstElement* Caps(const char* text) {
  GstElement* f = gst_element_factory_make("capsfilter", nullptr);
  GstCaps* c = gst_caps_from_string(text);
  if (f) g_object_set(f, "caps", c, nullptr);
  gst_caps_unref(c);
  return f;
}

// Adds queue ! <parts> into the bin, linked into a new request pad of the
// multiplexer, with the queue's sink as the ghost pad.
bool AddInput(GstElement* bin, GstElement* mux, const char* pad, const char* muxPad,
              std::initializer_list<GstElement*> parts) {
  GstElement* queue = gst_element_factory_make("queue", nullptr);
  bool ok = queue != nullptr;
  for (GstElement* e : parts) ok = ok && e;
  if (!ok) {
    for (GstElement* e : parts)
      if (e) gst_object_unref(e);
    if (queue) gst_object_unref(queue);
    return false;
  }
  gst_bin_add(GST_BIN(bin), queue);
  GstElement* prev = queue;
  for (GstElement* e : parts) {
    gst_bin_add(GST_BIN(bin), e);
    gst_element_link(prev, e);
    prev = e;
  }
  GstPad* src = gst_element_get_static_pad(prev, "src");
  GstPad* dst = gst_element_request_pad_simple(mux, muxPad);
  ok = dst && gst_pad_link(src, dst) == GST_PAD_LINK_OK;
  gst_object_unref(src);
  if (dst) gst_object_unref(dst);
  return ok && GhostPad(bin, queue, "sink", pad);
}

}  // namespace

GstElement* MakeAviMux(bool withSound) {
  GstElement* mux = gst_element_factory_make("avimux", nullptr);
  GstElement* bin = gst_bin_new("AVI Mux");
  if (!mux || !bin) {
    for (GstElement* e : {mux, bin})
      if (e) gst_object_unref(e);
    return nullptr;
  }
  gst_bin_add(GST_BIN(bin), mux);
  bool ok = AddInput(bin, mux, "Input 01", "video_%u",
                     {gst_element_factory_make("videoconvert", nullptr),
                      gst_element_factory_make("videoscale", nullptr),
                      Caps("video/x-raw,format=BGR,width=320,height=240")});
  if (withSound)
    ok = ok && AddInput(bin, mux, "Input 02", "audio_%u",
                        {gst_element_factory_make("audioconvert", nullptr), Caps("audio/x-raw,format=S16LE")});
  ok = ok && GhostPad(bin, mux, "src", "AVI Out");
  if (!ok) {
    gst_object_unref(bin);
    return nullptr;
  }
  return bin;
}

GstElement* MakeFileWriter() {
  GstElement* sink = gst_element_factory_make("filesink", nullptr);
  GstElement* bin = gst_bin_new("File writer");
  if (!sink || !bin) {
    for (GstElement* e : {sink, bin})
      if (e) gst_object_unref(e);
    return nullptr;
  }
  gst_bin_add(GST_BIN(bin), sink);
  g_object_set_data(G_OBJECT(bin), "strova-filesink", sink);
  GhostPad(bin, sink, "sink", "in");
  return bin;
}

bool SetFileWriterName(GstElement* writer, const std::string& path) {
  auto* sink = writer ? static_cast<GstElement*>(g_object_get_data(G_OBJECT(writer), "strova-filesink")) : nullptr;
  if (!sink || path.empty() || !capture::CaptureFolderWritable(path)) return false;
  g_object_set(sink, "location", path.c_str(), nullptr);
  return true;
}

}  // namespace strova::filters
