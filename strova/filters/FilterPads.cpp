#include "strova/filters/FilterPads.h"

#include <gst/gst.h>

namespace strova::filters {

bool GhostPad(GstElement* bin, GstElement* inner, const char* innerPad, const char* name) {
  GstPad* target = gst_element_get_static_pad(inner, innerPad);
  if (!target) return false;
  GstPad* ghost = gst_ghost_pad_new(name, target);
  gst_object_unref(target);
  return ghost && gst_element_add_pad(bin, ghost);
}

bool CapsEventSize(GstPadProbeInfo* info, int* width, int* height) {
  GstEvent* ev = GST_PAD_PROBE_INFO_EVENT(info);
  if (!ev || GST_EVENT_TYPE(ev) != GST_EVENT_CAPS) return false;
  GstCaps* caps = nullptr;
  gst_event_parse_caps(ev, &caps);
  const GstStructure* s = caps && !gst_caps_is_empty(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
  return s && gst_structure_get_int(s, "width", width) && gst_structure_get_int(s, "height", height);
}

namespace {

// deinterlace asks downstream for its formats without a filter, and some
// video sinks (GL) then answer only with their own memory's formats, so a
// new format after a standard change would not be agreed. Asking with the
// formats deinterlace can produce gets the answer that fits.
GstPadProbeReturn FilterCapsQuery(GstPad* pad, GstPadProbeInfo* info, gpointer) {
  GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
  if (!query || GST_QUERY_TYPE(query) != GST_QUERY_CAPS) return GST_PAD_PROBE_OK;
  GstCaps* filter = nullptr;
  gst_query_parse_caps(query, &filter);
  if (filter) return GST_PAD_PROBE_OK;
  GstCaps* produced = gst_pad_get_pad_template_caps(pad);
  GstCaps* answer = gst_pad_peer_query_caps(pad, produced);
  gst_caps_unref(produced);
  gst_query_set_caps_result(query, answer);
  gst_caps_unref(answer);
  return GST_PAD_PROBE_HANDLED;
}

}  // namespace

GstElement* MakeDeinterlacer(const char* name, bool on) {
  GstElement* d = gst_element_factory_make("deinterlace", name);
  if (!d) return nullptr;
  gst_util_set_object_arg(G_OBJECT(d), "method", "greedyh");
  gst_util_set_object_arg(G_OBJECT(d), "fields", "top");
  SetDeinterlacer(d, on);
  GstPad* out = gst_element_get_static_pad(d, "src");
  gst_pad_add_probe(out, GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM, FilterCapsQuery, nullptr, nullptr);
  gst_object_unref(out);
  return d;
}

void SetDeinterlacer(GstElement* deinterlacer, bool on) {
  if (deinterlacer) gst_util_set_object_arg(G_OBJECT(deinterlacer), "mode", on ? "auto" : "disabled");
}

}  // namespace strova::filters
