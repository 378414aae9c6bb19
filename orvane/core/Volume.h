// Volume steps and the mute toggle. The mixer, the card's sound path, the
// mute button and the on-screen bar come through SoundHost.
#pragma once
#include "Settings.h"

namespace orvane {

class SoundHost {
public:
    virtual ~SoundHost() = default;
    virtual bool SetMasterMute(bool mute) = 0;
    virtual bool SetMasterVolume(int value) = 0;  // false: no mixer
    virtual void SetTunerSound(int on) = 0;       // SetTVSoundData(0, on)
    virtual void SetExternalSound(int on) = 0;    // SetADSoundData(0, on)
    virtual void SetMuteButton(bool toggled) = 0;
    virtual void ShowBar(const char* label, int value, int max) = 0;
    virtual void Pause(int ms) = 0;
    // Before the steps: the host may take "Volume" from the output's present
    // volume, so a step never jumps from a stale stored value.
    virtual void BeforeVolumeStep(RunTime&) {}
};

// "Volume" +/- 1500 times steps, applied; the bar only when the mixer took it.
void StepVolume(RunTime& rt, SoundHost& host, bool up, int steps = 1);
void ToggleMute(RunTime& rt, SoundHost& host);

// Line-input countdown, one step per half-second tick: true when the line
// input is to be unmuted now (countdown 0); -1 never expires.
constexpr int kLineHoldTicks = 2;
bool LineInputTick(int& countdown);

}  // namespace orvane
