// The card's sound heard on the desktop. While the graph runs, the sound of
// the card's audio capture device plays as one stream, "Tellura TV sound", on
// the sound server (PulseAudio or PipeWire), else on ALSA's "default" device,
// else nowhere. The stream is a pipeline of its own on the graph's clock, so
// it keeps pace with the picture, while a sound server that fails or goes
// away never touches the graph; it is rebuilt by itself once the server
// answers again.
#pragma once

#include "strova/core/Context.h"

namespace strova::graph {

// The stream's name as the desktop's volume control lists it.
inline constexpr const char* kCardSoundName = "Tellura TV sound";

// Adds the card's "Audio Capture Device" with its playback when the graph
// lacks it. The card's sound only: a card without sound of its own plays
// nothing. False when nothing plays.
bool AddCardSound(core::CardContext& c);
// True when the card's audio device is in the graph and carries the playback.
bool HasCardSound(core::CardContext& c);
// Closes the stream while the graph does not run (called on state changes).
void CardSoundRunning(core::CardContext& c, bool running);

// The line input: one switch for the process that mutes every card's stream.
void SetLineInputMute(bool mute);

}  // namespace strova::graph
