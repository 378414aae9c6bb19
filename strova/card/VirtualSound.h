// Sound generator of the virtual card: each station's own tune, noise
// between stations, the camera inputs' line sound, and the sound switch.
#pragma once

#include "strova/card/VirtualHardware.h"

#include <cstdint>
#include <vector>

namespace strova::card {

class VirtualSound {
 public:
  static constexpr int kRate = 48000;
  static constexpr int kChannels = 2;
  // Fills `frames` interleaved stereo frames starting at sample position pos.
  void Render(const VirtualView& view, const std::vector<Station>& stations, uint64_t pos,
              int16_t* out, int frames);

 private:
  uint32_t rng_ = 0x9E3779B9u;
};

}  // namespace strova::card
