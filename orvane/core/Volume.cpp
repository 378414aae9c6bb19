#include "Volume.h"

#include "RemoteKeys.h"

namespace orvane {

void StepVolume(RunTime& rt, SoundHost& host, bool up, int steps) {
    host.BeforeVolumeStep(rt);
    for (int i = 0; i < steps; ++i) {
        rt.volume = VolumeStep(rt.volume, up);
        if (host.SetMasterVolume(rt.volume)) host.ShowBar("VOLUME", rt.volume, kVolumeMax);
    }
}

void ToggleMute(RunTime& rt, SoundHost& host) {
    rt.vNul = rt.vNul ? 0 : 1;
    if (rt.vNul == 0) {
        host.SetMasterMute(true);
        host.SetTunerSound(0);
        host.SetMuteButton(true);
        return;
    }
    host.SetMasterMute(false);
    host.SetMuteButton(false);
    if (rt.tvSound) {
        host.SetTunerSound(1);
    } else {
        host.SetTunerSound(0);
        host.Pause(50);
        host.SetExternalSound(1);
    }
}

bool LineInputTick(int& countdown) {
    if (countdown == 0) return true;
    if (--countdown < -1) countdown = -1;
    return false;
}

}  // namespace orvane
