// Stream filters of the recording branch, each a bin named as the graph's
// filter with the graph's pin names:
//   "Smart Tee": "Input" -> "Capture" (every frame) and "Preview" (frames
//     are dropped there rather than holding up the capture stream);
//   "Vantrel Down Scale Filter": "Input" -> "Output", a reduced copy of the
//     picture for the preview of a full-width recording;
//   "Audio Capture Device": the shared sound input, pin "Capture".
#pragma once

#include <string>
#include <vector>

#include <cstdint>
#include <functional>

typedef struct _GstElement GstElement;

namespace strova::card { class Card; }

namespace strova::filters {

// A filter's parameter interface: set-parameter(id, value); false for an id
// the filter does not know.
using ParamSetter = std::function<bool(uint32_t id, intptr_t value)>;

struct ParamFilter {
  GstElement* bin = nullptr;  // floating
  ParamSetter setParam;       // valid as long as the bin lives
};

// New floating bins; null when GStreamer lacks an element they need.
GstElement* MakeSmartTee();
// Parameters: 0x700 non-zero turns scaling on, 0x701 = n divides width and
// height by 2^n (0..3). Off, the picture passes unchanged. With deinterlace,
// an interlaced picture is deinterlaced before it is scaled (its element is
// named "deinterlace", switchable through its "mode").
ParamFilter MakeDownScaleFilter(bool deinterlace = false);
// The sound of the card when it has its own (the virtual card's, a real
// card's ALSA device), else the desktop's sound input (PulseAudio, else ALSA).
// Its pin "Capture" may stay unlinked.
GstElement* MakeAudioCaptureDevice(card::Card* device);
// The tee inside an audio capture device that carries the card's own sound,
// where the playback taps it; null for the desktop's sound input, which is
// never played back (it would loop into itself).
GstElement* CardSoundSplit(GstElement* audioDevice);
// The sound inputs by name: first the first listed card's own sound (a real
// card's ALSA capture device, or the virtual card's sound when it is the
// only card), then the desktop's sources as the sound server (or ALSA)
// lists them.
std::vector<std::string> AudioInputNames();
// True when some sound input exists for recordings: the card's own sound,
// or an entry of the list above.
bool AudioDeviceExists(card::Card* device);

}  // namespace strova::filters
