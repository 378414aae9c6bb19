// The card's capture graph over a GStreamer pipeline: filters are bins named
// as the graph's filters, the bus is the event source.
#pragma once

#include "strova/core/Context.h"

#include <cstdint>

namespace strova::graph {

inline constexpr long kEventAbort = 3;
inline constexpr long kEventVideoSizeChanged = 10;
inline constexpr long kEventPaused = 14;

struct GraphEvent {
  long code = 0;
  uintptr_t param1 = 0;
};

// Builds the base graph and the preview branch of a card and starts it.
STROVA_STATUS Build(int card, core::CardContext& c);
// Stops and releases the whole graph.
void Release(core::CardContext& c);
// Sets the pipeline state: 0 run, 1 pause, 2 stop.
STROVA_STATUS SetState(core::CardContext& c, int state);
// Takes the next pending graph event without waiting; false when none.
bool NextEvent(core::CardContext& c, GraphEvent* ev);
// Caps currently flowing out of the capture device (ref owned by caller), or null.
GstCaps* CurrentCaps(core::CardContext& c);

// Fixes the capture device's output format (the caps are not taken over).
STROVA_STATUS SetFormat(core::CardContext& c, GstCaps* caps);

}  // namespace strova::graph
