// System mixer access over ALSA's "default" control device: master volume and
// switch, and the line input's capture/playback switch. Each call opens the
// mixer, acts and closes it; with no sound card every call does nothing.
#pragma once

namespace orvane {

// Returns false when the mixer or the wanted control is not there.
bool SetMasterMute(bool mute);
bool SetMasterVolume(int value);  // 0..65530, scaled to the control's range
bool SetLineInputMute(bool mute);

// Maps a 0..65530 volume onto [lo, hi].
long ScaleVolume(int value, long lo, long hi);

}  // namespace orvane
