#include "strova/graph/Graph.h"

#include "strova/card/Card.h"

#include <cerrno>
#include <cstdlib>

namespace strova::graph {

namespace {

// The capture device: the card's source followed by a format stage, so that
// the pin's format can be set to any of the colour codes.
GstElement* MakeCaptureBin(GstElement* source) {
  GstElement* bin = gst_bin_new("Video Capture Device");
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  GstElement* scale = gst_element_factory_make("videoscale", nullptr);
  GstElement* format = gst_element_factory_make("capsfilter", "format");
  gst_bin_add_many(GST_BIN(bin), source, convert, scale, format, nullptr);
  gst_element_link_many(source, convert, scale, format, nullptr);
  GstPad* pad = gst_element_get_static_pad(format, "src");
  gst_element_add_pad(bin, gst_ghost_pad_new("Preview", pad));
  gst_object_unref(pad);
  return bin;
}

// The renderer draws into a window of its own when a display exists, else
// into a fake sink so the graph still runs headless.
GstElement* MakeRendererChain(bool window) {
  const char* desc = window ? "videoconvert ! videoscale ! ximagesink name=sink sync=true"
                            : "videoconvert ! fakesink name=sink sync=true";
  GError* err = nullptr;
  GstElement* chain = gst_parse_bin_from_description(desc, TRUE, &err);
  if (err) g_error_free(err);
  return chain;
}

uintptr_t ErrorResult(GError* err) {
  if (err && err->domain == GST_RESOURCE_ERROR && err->code == GST_RESOURCE_ERROR_NO_SPACE_LEFT)
    return static_cast<uint32_t>(STROVA_E_DISK_FULL);
  return static_cast<uint32_t>(E_FAIL);
}

}  // namespace

STROVA_STATUS Build(int card, core::CardContext& c) {
  auto infos = card::EnumerateCards();
  if (card < 0 || static_cast<size_t>(card) >= infos.size()) return E_FAIL;
  // Each card streams its own device, not the first matching one.
  c.device = card::OpenCard(infos[static_cast<size_t>(card)]);
  if (!c.device) {
    core::SetDiagnostic("Error %x: Cannot create video capture filter", static_cast<unsigned>(E_FAIL));
    return E_FAIL;
  }
  GstElement* source = c.device->CreateVideoSource();
  if (!source) {
    c.device.reset();
    core::SetDiagnostic("Error %x: Cannot create video capture filter", static_cast<unsigned>(E_FAIL));
    return E_FAIL;
  }
  c.pipeline = gst_pipeline_new(nullptr);
  c.captureFilter = MakeCaptureBin(source);
  const bool window = c.ownerWindow != nullptr && std::getenv("DISPLAY") != nullptr;
  GstElement* chain = MakeRendererChain(window);
  if (!chain) {
    Release(c);
    return E_FAIL;
  }
  c.renderer = gst_bin_new("Video Renderer");
  gst_bin_add(GST_BIN(c.renderer), chain);
  GstPad* in = gst_element_get_static_pad(chain, "sink");
  gst_element_add_pad(c.renderer, gst_ghost_pad_new("VMR Input0", in));
  gst_object_unref(in);
  gst_bin_add_many(GST_BIN(c.pipeline), c.captureFilter, c.renderer, nullptr);
  if (!gst_element_link(c.captureFilter, c.renderer)) {
    Release(c);
    return E_FAIL;
  }
  c.previewBuilt = 1;
  return SetState(c, STROVA_STATE_RUNNING);
}

void Release(core::CardContext& c) {
  if (c.pipeline) {
    gst_element_set_state(c.pipeline, GST_STATE_NULL);
    gst_object_unref(c.pipeline);
  }
  c.pipeline = c.captureFilter = c.cardFilter = c.renderer = nullptr;
  c.device.reset();
  c.previewBuilt = c.captureBuilt = 0;
  c.graphState = STROVA_STATE_STOPPED;
}

STROVA_STATUS SetState(core::CardContext& c, int state) {
  if (!c.pipeline) return E_FAIL;
  static const GstState kStates[] = {GST_STATE_PLAYING, GST_STATE_PAUSED, GST_STATE_READY};
  if (state < 0 || state > 2) return E_INVALIDARG;
  if (gst_element_set_state(c.pipeline, kStates[state]) == GST_STATE_CHANGE_FAILURE) return E_FAIL;
  c.graphState = state;
  return S_OK;
}

bool NextEvent(core::CardContext& c, GraphEvent* ev) {
  if (!c.pipeline) return false;
  GstBus* bus = gst_element_get_bus(c.pipeline);
  bool found = false;
  while (!found) {
    GstMessage* msg = gst_bus_pop(bus);
    if (!msg) break;
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
      GError* err = nullptr;
      gst_message_parse_error(msg, &err, nullptr);
      *ev = {kEventAbort, ErrorResult(err)};
      if (err) g_error_free(err);
      found = true;
    } else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_STATE_CHANGED &&
               GST_MESSAGE_SRC(msg) == GST_OBJECT(c.pipeline)) {
      GstState oldState, newState;
      gst_message_parse_state_changed(msg, &oldState, &newState, nullptr);
      if (newState == GST_STATE_PAUSED && oldState == GST_STATE_PLAYING) {
        *ev = {kEventPaused, 0};
        found = true;
      }
    }
    gst_message_unref(msg);
  }
  gst_object_unref(bus);
  return found;
}

STROVA_STATUS SetFormat(core::CardContext& c, GstCaps* caps) {
  if (!c.captureFilter) return E_FAIL;
  GstElement* format = gst_bin_get_by_name(GST_BIN(c.captureFilter), "format");
  if (!format) return E_FAIL;
  g_object_set(format, "caps", caps, nullptr);
  gst_object_unref(format);
  return S_OK;
}

GstCaps* CurrentCaps(core::CardContext& c) {
  if (!c.captureFilter) return nullptr;
  GstPad* pad = gst_element_get_static_pad(c.captureFilter, "Preview");
  if (!pad) return nullptr;
  GstCaps* caps = gst_pad_get_current_caps(pad);
  gst_object_unref(pad);
  return caps;
}

}  // namespace strova::graph
