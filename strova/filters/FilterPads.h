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

// A motion-adaptive deinterlacer (greedyh: still areas keep both fields,
// moving ones are rebuilt from one), one picture per frame; on, it
// deinterlaces interlaced pictures and passes progressive ones untouched,
// off it passes everything. Floating; null when GStreamer lacks it.
GstElement* MakeDeinterlacer(const char* name, bool on);
// Switches such a deinterlacer, also while it runs (it renegotiates).
void SetDeinterlacer(GstElement* deinterlacer, bool on);

}  // namespace strova::filters
