// The system mixer. Master volume and switch act on the desktop's default
// output: the sound server's default sink (one connection kept), else the
// "Master" control of ALSA's "default" device (opened per call). The line
// input is the card's sound as the capture library plays it. Without any of
// them every call does nothing, quietly.
#pragma once

namespace orvane {

// Returns false when the mixer or the wanted control is not there.
bool SetMasterMute(bool mute);
bool SetMasterVolume(int value);  // 0..65530, scaled to the control's range
// The output's present volume on the same 0..65530 scale.
bool GetMasterVolume(int* value);
bool SetLineInputMute(bool mute);

// Maps a 0..65530 volume onto [lo, hi].
long ScaleVolume(int value, long lo, long hi);
// The inverse: a control value in [lo, hi] as 0..65530.
int UnscaleVolume(long value, long lo, long hi);

}  // namespace orvane
