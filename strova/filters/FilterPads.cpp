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

}  // namespace strova::filters
