// The card's capture graph as a whole: the base graph of a connection, its
// release, the pin formats of the streaming device and the event source.
#pragma once

#include <functional>

#include "strova/core/Context.h"
#include "strova/graph/Events.h"

#include <cstdint>

namespace strova::graph {

// Builds the base graph of a card (devices, companion filter, mixer,
// renderer, card control start-up). On failure the graph is released again
// and the diagnostic text says which step failed.
STROVA_STATUS BuildBase(int card, core::CardContext& c);
// Stops the graph and releases it with everything in it; card control
// shut-down runs in its order. The record's other values stay.
void Release(int card, core::CardContext& c);
// Takes the next pending graph event without waiting; false when none.
bool NextEvent(core::CardContext& c, GraphEvent* ev);

// Pin formats of the streaming device (pin 1 capture, 2 preview) as fixed
// caps: the device's own format with the fields last written to the pin.
// Null without a capture filter. The caller unrefs.
GstCaps* PinFormat(core::CardContext& c, int pin);
// Writes a pin format (width, height, format and framerate fields are used;
// a frame rate only on the capture pin).
STROVA_STATUS SetPinFormat(core::CardContext& c, int pin, GstCaps* caps);
// Runs op with the card's video source stopped (its device closed) and
// starts the source again; the card's stream pause (Card::SetStreamPause).
bool RestartSource(core::CardContext& c, const std::function<bool()>& op);
// Switches a pin's deinterlacer (pin 1 capture, 2 preview) on or off, also
// while the graph runs. On, it deinterlaces interlaced sources only.
void SetDeinterlace(core::CardContext& c, int pin, bool on);
// The card's own frame rate, as its device delivers it; false when unknown.
bool DeviceFrameRate(core::CardContext& c, int* num, int* den);

// A pin's format as the 96-byte record, and writing one back (colour code
// mapped by yuvMode; a running graph is stopped for the write and returned to
// its state). Used by the format exports and the branch builders.
STROVA_STATUS ReadPinInfo(core::CardContext& c, int pin, VideoInfo* info);
STROVA_STATUS WritePinInfo(core::CardContext& c, const VideoInfo& info, int pin);

// The recording branch builder (file capture) registers here; without one
// building it fails.
using BranchBuilder = STROVA_STATUS (*)(core::CardContext& c);
void SetRecordingBuilder(BranchBuilder builder);
STROVA_STATUS BuildRecording(core::CardContext& c);

// The streaming device's bin for the card, with its overlay when the
// companion filter carries one (floating; pins: capture, preview).
GstElement* MakeDeviceBin(core::CardContext& c);
// Moves the companion filter's overlay into the device's video path.
bool AttachOverlayTo(core::CardContext& c, GstElement* device);
// Filters created by class: Overlay Mixer, Color Space Converter, renderer,
// companion filter (floating bins, pins named as in the graph).
GstElement* MakeOverlayMixer();
GstElement* MakeColorConverter();
GstElement* MakeRenderer();
GstElement* MakeCompanion();

}  // namespace strova::graph
