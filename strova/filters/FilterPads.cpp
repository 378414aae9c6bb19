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

}  // namespace strova::filters
