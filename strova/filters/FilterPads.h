// Pins of the recording filters: ghost pads on the filter bin named as the
// graph's pins.
#pragma once

typedef struct _GstElement GstElement;
typedef struct _GstPadProbeInfo GstPadProbeInfo;

namespace strova::filters {

// Adds a pin called name to bin over an inner element's static pad.
bool GhostPad(GstElement* bin, GstElement* inner, const char* innerPad, const char* name);

// For an event probe: true with the picture size when the event is a caps
// event that carries one.
bool CapsEventSize(GstPadProbeInfo* info, int* width, int* height);

}  // namespace strova::filters
