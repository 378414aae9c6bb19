// Picture generator of the virtual card: station programmes, two camera
// scenes, snow between stations, and the colour controls, drawn into I420.
#pragma once

#include "strova/card/VirtualHardware.h"

#include <cstdint>
#include <vector>

namespace strova::card {

struct I420Frame {
  int width = 0, height = 0;
  uint8_t* y = nullptr;
  uint8_t* u = nullptr;
  uint8_t* v = nullptr;
  static size_t Size(int w, int h) { return size_t(w) * h + 2 * size_t(w / 2) * (h / 2); }
  // Planes laid out one after another in one buffer.
  static I420Frame Over(uint8_t* data, int w, int h);
};

class VirtualPicture {
 public:
  VirtualPicture();
  // Draws frame number n (t = stream time in seconds) for what the card shows
  // as an interlaced frame: the first field's lines (the even ones when
  // topFirst) show the scene at t, the other field's at t + fieldGap, as a
  // camera scanning fields delivers it. fieldGap 0 draws a progressive frame.
  void Render(const VirtualView& view, const std::vector<Station>& stations, uint64_t n,
              double t, I420Frame& f, double fieldGap = 0.0, bool topFirst = true);

 private:
  void DrawScene(const VirtualView& view, const std::vector<Station>& stations, double t,
                 I420Frame& f);
  void DrawStation(const Station& s, double t, I420Frame& f);
  void DrawCameraA(double t, I420Frame& f);
  void DrawCameraB(double t, I420Frame& f);
  void MixSnow(double quality, uint64_t n, I420Frame& f);
  void ApplyColour(const VirtualView& view, I420Frame& f);
  uint32_t NextRandom();

  std::vector<uint8_t> snow_;
  std::vector<uint8_t> later_;  // the second field's scene
  uint32_t rng_ = 0x12345678u;
};

// Video frame size, rate and field order for a standard: 625-line pictures
// come top field first, 525-line ones bottom field first, as analogue
// capture cards deliver them.
struct VideoMode {
  int width, height, fpsNum, fpsDen;
  bool topFieldFirst;
  // Time between the two fields of a frame, in seconds.
  double FieldGap() const { return double(fpsDen) / (2.0 * fpsNum); }
};
VideoMode ModeFor(long standard);

}  // namespace strova::card
