// The graph operations the branch builders use: filters are bins placed in
// the card's pipeline under their graph names, pins are the bins' ghost pads
// named as the pins. Every operation works on the graph of the card given and
// answers false / null / E_FAIL when that card has no graph. Rebuild only
// with the graph stopped (Stop() first), as every branch builder does.
#pragma once

#include "strova/core/Context.h"

#include <gst/gst.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace strova::graph {

// Filter names of the graph.
inline constexpr const char* kBaseDevice = "Video Capture Device";
inline constexpr const char* kCompanion = "Quorvel Zento Filter";
inline constexpr const char* kStreamingDevice = "Quorvel Tellura Capture";
inline constexpr const char* kOverlayMixer = "Overlay Mixer";
inline constexpr const char* kRenderer = "Video Renderer";
inline constexpr const char* kStillCapture = "Vantrel Still Capture";
inline constexpr const char* kConverter = "Color Space Converter";
inline constexpr const char* kSmartTee = "Smart Tee";
inline constexpr const char* kAudioDevice = "Audio Capture Device";
inline constexpr const char* kMultiplexer = "Vantrel Multiplexer";

// --- Filters ----------------------------------------------------------------
// The filter of that name in the card's graph, or null. The pointer is
// borrowed: the graph keeps the filter alive until it is removed.
GstElement* FindFilter(core::CardContext& c, const char* name);
// Places bin in the graph under name; the graph takes the bin (a floating
// reference is sunk; on failure the bin is released). E_FAIL when there is no
// graph, the name is taken, or the bin is null.
STROVA_STATUS AddFilter(core::CardContext& c, GstElement* bin, const char* name);
// Disconnects every pin of the filter and removes it; false when absent.
bool RemoveFilter(core::CardContext& c, const char* name);
// Filter names in the graph's enumeration order (most recently added first).
std::vector<std::string> FilterNames(core::CardContext& c);

// Wraps one element as a filter bin with an input pin (from the element's
// "sink" pad) and an output pin (its "src" pad); a null pin name leaves that
// pin out. The element is taken over. Null on failure.
GstElement* MakeFilter(GstElement* element, const char* inPin, const char* outPin);

// --- Pins ---------------------------------------------------------------------
// The first pin of the filter with that direction whose name equals name
// byte for byte (null name: the first pin of that direction). Borrowed.
GstPad* FindPin(GstElement* filter, const char* name, GstPadDirection direction);
// Pins of a filter in order, with their names and directions.
struct PinInfo {
  std::string name;
  GstPadDirection direction = GST_PAD_UNKNOWN;
  bool connected = false;
};
std::vector<PinInfo> Pins(GstElement* filter);

// Connects an output pin to an input pin by filter and pin names. When the
// formats the two pins can carry do not meet, converters are placed between
// them as filters of their own (named as the graph names them, e.g.
// "Color Space Converter 0001"). False when a filter or pin is missing or the
// link fails; nothing is changed then.
bool ConnectPins(core::CardContext& c, const char* fromFilter, const char* outPin,
                 const char* toFilter, const char* inPin);
// Disconnects the output pin and then the input pin from whatever each is
// connected to (a converter placed by ConnectPins between them goes too);
// true when both pins exist.
bool DisconnectPins(core::CardContext& c, const char* fromFilter, const char* outPin,
                    const char* toFilter, const char* inPin);
// Removes everything downstream of a filter's pins: position 0 handles every
// pin, n (from 1) only the n-th. Downstream filters are removed recursively.
// S_OK, or E_FAIL at the first failing step (or when the filter is absent).
STROVA_STATUS RemoveDownstream(core::CardContext& c, const char* filterName, int pinPosition);

// A filter whose bin belongs to a C++ object: release runs right after the
// filter leaves the graph (removed, or the graph released), so the object
// lives exactly as long as its filter is in the graph.
void SetFilterOwner(GstElement* filter, std::function<void()> release);

// --- Filter parameters ----------------------------------------------------------
// A filter's parameter interface: set-parameter(id, value). value carries a
// 32-bit number or, for a file name, a const char* cast to intptr_t.
using ParamSetter = std::function<bool(uint32_t id, intptr_t value)>;
void AttachParams(GstElement* filter, ParamSetter setter);
// False when the filter is null or has no parameter interface.
bool SetFilterParam(GstElement* filter, uint32_t id, intptr_t value);

// --- Devices ----------------------------------------------------------------------
// Adds the card's streaming device ("Quorvel Tellura Capture", output pins
// named capturePinName and previewPinName) when it is missing and points
// captureFilter at it. E_FAIL when the device cannot be made.
STROVA_STATUS EnsureStreamingDevice(core::CardContext& c);

// --- Branches -----------------------------------------------------------------------
// The preview branch (capture device preview pin -> still grabber -> Overlay
// Mixer or Color Space Converter -> Video Renderer) and window set-up.
STROVA_STATUS BuildPreview(core::CardContext& c);
void TeardownPreview(core::CardContext& c);
// Removes the recording branch (capture pin downstream, audio device, Smart
// Tee, down-scale filter ...) and clears captureBuilt and capturing.
void TeardownRecording(core::CardContext& c);

// --- Video window ---------------------------------------------------------------------
// The window set-up of the preview build: the renderer's video sink draws into
// a child window of ownerWindow placed at windowRect, shown. Call after the
// renderer's input is connected; the video window then replaces any earlier
// one. S_OK, or E_FAIL when there is no renderer.
STROVA_STATUS AttachWindow(core::CardContext& c);
// Releases the video window (the sink stops drawing into the owner).
void DetachWindow(core::CardContext& c);

// --- Run state and events ------------------------------------------------------------
// 0 run, 1 pause, 2 stop; graphState follows successful calls.
STROVA_STATUS SetState(core::CardContext& c, int state);
inline STROVA_STATUS Run(core::CardContext& c) { return SetState(c, STROVA_STATE_RUNNING); }
inline STROVA_STATUS Stop(core::CardContext& c) { return SetState(c, STROVA_STATE_STOPPED); }
// Queues a graph event from any thread (e.g. a writer that ran out of disk
// space posts code 3 with STROVA_E_DISK_FULL) and tells the notify window.
void PostEvent(core::CardContext& c, long code, uintptr_t param1);

}  // namespace strova::graph
