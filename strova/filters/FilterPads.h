// Pins of the recording filters: ghost pads on the filter bin named as the
// graph's pins.
#pragma once

typedef struct _GstElement GstElement;

namespace strova::filters {

// Adds a pin called name to bin over an inner element's static pad.
bool GhostPad(GstElement* bin, GstElement* inner, const char* innerPad, const char* name);

}  // namespace strova::filters
