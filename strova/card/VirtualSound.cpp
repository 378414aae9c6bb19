#include "strova/card/VirtualSound.h"

#include "strova/card/Tuner.h"

#include <algorithm>
#include <cmath>

namespace strova::card {
namespace {

double Tone(double hz, double t) { return std::sin(2 * M_PI * hz * t); }

// A station's tune: its tone stepping through a short melody.
double StationSample(const Station& s, double t) {
  static const double kSteps[] = {1.0, 1.25, 1.5, 1.25, 1.0, 0.75, 1.0, 1.5};
  const int step = int(t * 3) % 8;
  const double env = 0.6 + 0.4 * std::sin(2 * M_PI * 3 * t);
  return 0.3 * env * Tone(s.toneHz * kSteps[step], t);
}

double LineSample(int input, double t) {
  if (input == 0) return 0.15 * (Tone(220, t) + Tone(330, t));
  if (input == 2) return (int(t * 2) % 2 == 0) ? 0.25 * Tone(523.25, t) : 0.0;
  return 0.0;  // the tuner input has no line sound of its own
}

}  // namespace

void VirtualSound::Render(const VirtualView& view, const std::vector<Station>& stations,
                          uint64_t pos, int16_t* out, int frames) {
  const bool muted = view.sound == kSoundMute;
  const bool line = view.sound == kSoundLine;
  const bool station = view.station >= 0 && view.quality > 0.0;
  for (int i = 0; i < frames; ++i) {
    const double t = double(pos + i) / kRate;
    double s = 0.0;
    if (muted) {
      s = 0.0;
    } else if (line) {
      s = LineSample(view.input, t);
    } else {
      rng_ = rng_ * 1664525u + 1013904223u;
      const double noise = (int32_t(rng_) / 2147483648.0) * 0.25;
      const double q = station ? view.quality : 0.0;
      s = (station ? q * StationSample(stations[view.station], t) : 0.0) + (1 - q) * noise;
    }
    const int16_t v = int16_t(std::clamp(s, -1.0, 1.0) * 32000);
    out[2 * i] = v;
    out[2 * i + 1] = v;
  }
}

}  // namespace strova::card
