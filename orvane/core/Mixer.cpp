#include "Mixer.h"

#include "SoundServer.h"
#include "strova/Strova.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace orvane {

namespace {

// Opens "default", finds the first element with the given name and applies fn.
template <class Fn>
bool WithElement(const char* name, Fn fn) {
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0) return false;
    bool ok = false;
    if (snd_mixer_attach(mixer, "default") >= 0 &&
        snd_mixer_selem_register(mixer, nullptr, nullptr) >= 0 &&
        snd_mixer_load(mixer) >= 0) {
        snd_mixer_selem_id_t* sid = nullptr;
        snd_mixer_selem_id_alloca(&sid);
        snd_mixer_selem_id_set_index(sid, 0);
        snd_mixer_selem_id_set_name(sid, name);
        if (snd_mixer_elem_t* elem = snd_mixer_find_selem(mixer, sid)) ok = fn(elem);
    }
    snd_mixer_close(mixer);
    return ok;
}

SoundServer& Server() {
    static SoundServer server;
    return server;
}

}  // namespace

long ScaleVolume(int value, long lo, long hi) {
    value = std::clamp(value, 0, 65530);
    return lo + (hi - lo) * static_cast<long long>(value) / 65530;
}

int UnscaleVolume(long value, long lo, long hi) {
    if (hi <= lo) return 0;
    value = std::clamp(value, lo, hi);
    // Rounded, so that a value set through ScaleVolume reads back as itself.
    return int((static_cast<long long>(value - lo) * 65530 + (hi - lo) / 2) / (hi - lo));
}

bool GetMasterVolume(int* value) {
    if (!value) return false;
    uint32_t v = 0;
    if (Server().GetDefaultVolume(&v)) {
        *value = UnscaleVolume(long(std::min<uint32_t>(v, SoundServer::kFullVolume)), 0, SoundServer::kFullVolume);
        return true;
    }
    return WithElement("Master", [value](snd_mixer_elem_t* e) {
        long lo = 0, hi = 0, v = 0;
        if (!snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) < 0 ||
            snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &v) < 0)
            return false;
        *value = UnscaleVolume(v, lo, hi);
        return true;
    });
}

bool SetMasterMute(bool mute) {
    if (Server().SetDefaultMute(mute)) return true;
    return WithElement("Master", [mute](snd_mixer_elem_t* e) {
        if (!snd_mixer_selem_has_playback_switch(e)) return false;
        return snd_mixer_selem_set_playback_switch_all(e, mute ? 0 : 1) >= 0;
    });
}

bool SetMasterVolume(int value) {
    if (Server().SetDefaultVolume(static_cast<uint32_t>(ScaleVolume(value, 0, SoundServer::kFullVolume))))
        return true;
    return WithElement("Master", [value](snd_mixer_elem_t* e) {
        if (!snd_mixer_selem_has_playback_volume(e)) return false;
        long lo = 0, hi = 0;
        if (snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) < 0) return false;
        return snd_mixer_selem_set_playback_volume_all(e, ScaleVolume(value, lo, hi)) >= 0;
    });
}

bool SetLineInputMute(bool mute) {
    Strova_MuteCardSound(mute ? 1 : 0);
    return true;
}

}  // namespace orvane
