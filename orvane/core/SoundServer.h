// The desktop's default output on the sound server (PulseAudio, or PipeWire
// through its PulseAudio interface). One connection is kept and made again
// only when it was lost (the server went away and came back); the server is
// never started by it. A call waits at most kWaitMs and fails quietly when no
// server answers.
#pragma once

#include <cstdint>
#include <memory>

namespace orvane {

class SoundServer {
public:
    static constexpr int kWaitMs = 500;
    static constexpr uint32_t kFullVolume = 0x10000;  // 100 % on the server's scale

    SoundServer();
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    // Act on the server's default sink as it is at the moment of the call.
    bool SetDefaultMute(bool mute);
    bool SetDefaultVolume(uint32_t volume);  // 0 .. kFullVolume, all channels
    bool GetDefaultVolume(uint32_t* volume);  // the loudest channel; may exceed kFullVolume

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvane
