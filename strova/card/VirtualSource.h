// Live GStreamer sources for the virtual card's picture and sound.
#pragma once

#include "strova/card/VirtualHardware.h"

#include <gst/gst.h>

#include <memory>

namespace strova::card {

// Floating live source elements (appsrc) paced by the pipeline clock; they
// follow the hardware's tuning, input, standard and colour controls.
GstElement* MakeVirtualVideoSource(std::shared_ptr<VirtualHardware> hw);
GstElement* MakeVirtualAudioSource(std::shared_ptr<VirtualHardware> hw);

}  // namespace strova::card
