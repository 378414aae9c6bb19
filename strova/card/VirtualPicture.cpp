#include "strova/card/VirtualPicture.h"

#include "strova/card/Font5x7.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string>

namespace strova::card {
namespace {

constexpr size_t kSnowBytes = 1 << 20;

struct Yuv {
  uint8_t y, u, v;
};

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

Yuv ToYuv(uint32_t rgb) {
  const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  return {Clamp(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16),
          Clamp(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128),
          Clamp(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128)};
}

void FillRect(I420Frame& f, int x0, int y0, int w, int h, Yuv c) {
  x0 = std::max(x0 & ~1, 0);
  y0 = std::max(y0 & ~1, 0);
  const int x1 = std::min(x0 + w, f.width), y1 = std::min(y0 + h, f.height);
  if (x1 <= x0 || y1 <= y0) return;
  for (int y = y0; y < y1; ++y) std::memset(f.y + size_t(y) * f.width + x0, c.y, x1 - x0);
  const int cw = f.width / 2;
  const int cx0 = x0 / 2, cx1 = (x1 + 1) / 2;
  for (int y = y0 / 2; y < (y1 + 1) / 2; ++y) {
    std::memset(f.u + size_t(y) * cw + cx0, c.u, cx1 - cx0);
    std::memset(f.v + size_t(y) * cw + cx0, c.v, cx1 - cx0);
  }
}

void DrawText(I420Frame& f, const std::string& text, int x, int y, int scale, Yuv c) {
  for (char ch : text) {
    if (const uint8_t* rows = GlyphRows(ch)) {
      for (int r = 0; r < 7; ++r)
        for (int b = 0; b < 5; ++b)
          if (rows[r] & (0x10 >> b)) FillRect(f, x + b * scale, y + r * scale, scale, scale, c);
    }
    x += 6 * scale;
  }
}

int TextWidth(const std::string& text, int scale) { return int(text.size()) * 6 * scale; }

std::string ClockText() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

}  // namespace

I420Frame I420Frame::Over(uint8_t* data, int w, int h) {
  I420Frame f;
  f.width = w;
  f.height = h;
  f.y = data;
  f.u = data + size_t(w) * h;
  f.v = f.u + size_t(w / 2) * (h / 2);
  return f;
}

VideoMode ModeFor(long standard) {
  if (Is525Line(standard)) return {720, 480, 30000, 1001, false};
  return {720, 576, 25, 1, true};
}

VirtualPicture::VirtualPicture() : snow_(kSnowBytes) {
  for (auto& b : snow_) {
    const uint32_t r = NextRandom();
    b = static_cast<uint8_t>(40 + (r >> 24) % 190);
  }
}

uint32_t VirtualPicture::NextRandom() {
  rng_ ^= rng_ << 13;
  rng_ ^= rng_ >> 17;
  rng_ ^= rng_ << 5;
  return rng_;
}

void VirtualPicture::DrawStation(const Station& s, double t, I420Frame& f) {
  static const uint32_t kBars[] = {0xC0C0C0, 0xC0C000, 0x00C0C0, 0x00C000,
                                   0xC000C0, 0xC00000, 0x0000C0, 0x101010};
  const int barsH = f.height * 3 / 5;
  for (int i = 0; i < 8; ++i)
    FillRect(f, i * f.width / 8, 0, f.width / 8 + 2, barsH, ToYuv(kBars[i]));
  const Yuv theme = ToYuv(s.colour);
  FillRect(f, 0, barsH, f.width, f.height - barsH, theme);
  // A ball bouncing over the bars: the programme's moving content.
  const double phase = std::fmod(t * 0.4, 2.0);
  const int bx = int((phase < 1 ? phase : 2 - phase) * (f.width - 80));
  const int by = int((0.5 + 0.45 * std::sin(t * 2.3)) * (barsH - 80));
  FillRect(f, bx, by, 80, 80, ToYuv(0xF0F0F0));
  FillRect(f, bx + 20, by + 20, 40, 40, theme);
  const Yuv white = ToYuv(0xFFFFFF);
  DrawText(f, s.name, (f.width - TextWidth(s.name, 6)) / 2, barsH + 24, 6, white);
  const std::string clock = ClockText();
  DrawText(f, clock, (f.width - TextWidth(clock, 5)) / 2, barsH + 24 + 7 * 6 + 20, 5, white);
}

void VirtualPicture::DrawCameraA(double t, I420Frame& f) {
  // A sky-to-ground gradient panning slowly, with a dark shape crossing it.
  const int shift = int(t * 20) % (2 * f.height);
  for (int y = 0; y < f.height; ++y) {
    const int g = std::abs((y + shift) % (2 * f.height) - f.height);  // triangle: no seam
    std::memset(f.y + size_t(y) * f.width, 60 + g * 150 / f.height, f.width);
  }
  const int cw = f.width / 2, ch = f.height / 2;
  for (int y = 0; y < ch; ++y) {
    std::memset(f.u + size_t(y) * cw, 150 - y * 40 / ch, cw);
    std::memset(f.v + size_t(y) * cw, 110 + y * 30 / ch, cw);
  }
  const int x = int((0.5 + 0.4 * std::sin(t * 0.9)) * (f.width - 140));
  FillRect(f, x, f.height / 2 - 70, 140, 140, ToYuv(0x303840));
  DrawText(f, "S-VIDEO", 24, 24, 4, ToYuv(0xFFFFFF));
}

void VirtualPicture::DrawCameraB(double t, I420Frame& f) {
  // A moving checkerboard in warm colours.
  const int off = int(t * 60);
  const Yuv a = ToYuv(0xD08030), b = ToYuv(0x402010);
  const int cw = f.width / 2;
  for (int y = 0; y < f.height; ++y) {
    uint8_t* row = f.y + size_t(y) * f.width;
    for (int x = 0; x < f.width; ++x) row[x] = (((x + off) / 48 + y / 48) & 1) ? a.y : b.y;
    if (y & 1) continue;
    uint8_t* ur = f.u + size_t(y / 2) * cw;
    uint8_t* vr = f.v + size_t(y / 2) * cw;
    for (int x = 0; x < cw; ++x) {
      const bool on = (((2 * x + off) / 48 + y / 48) & 1) != 0;
      ur[x] = on ? a.u : b.u;
      vr[x] = on ? a.v : b.v;
    }
  }
  DrawText(f, "VIDEO2-IN", 24, f.height - 60, 4, ToYuv(0xFFFFFF));
}

void VirtualPicture::MixSnow(double quality, uint64_t n, I420Frame& f) {
  (void)n;
  const int q = int(quality * 256);
  const int w = f.width;
  for (int y = 0; y < f.height; ++y) {
    const uint8_t* noise = snow_.data() + NextRandom() % (kSnowBytes - w);
    uint8_t* row = f.y + size_t(y) * w;
    if (q <= 0) {
      std::memcpy(row, noise, w);
      continue;
    }
    // Off-tune rows slip sideways a little, as a weak sync would.
    const int slip = q < 230 ? int(NextRandom() % (1 + (256 - q) / 16)) : 0;
    if (slip > 0) std::memmove(row + slip, row, w - slip);
    for (int x = 0; x < w; ++x) row[x] = uint8_t((row[x] * q + noise[x] * (256 - q)) >> 8);
  }
  const size_t chroma = size_t(w / 2) * (f.height / 2);
  for (size_t i = 0; i < chroma; ++i) {
    f.u[i] = uint8_t(128 + ((f.u[i] - 128) * q >> 8));
    f.v[i] = uint8_t(128 + ((f.v[i] - 128) * q >> 8));
  }
}

void VirtualPicture::ApplyColour(const VirtualView& view, I420Frame& f) {
  auto value = [&](ProcAmp p) { return view.procAmp[static_cast<int>(p)]; };
  const long bright = value(ProcAmp::Brightness), contrast = value(ProcAmp::Contrast);
  const long hue = value(ProcAmp::Hue), sat = value(ProcAmp::Saturation);
  const long sharp = value(ProcAmp::Sharpness);
  const size_t luma = size_t(f.width) * f.height;
  if (bright != 5000 || contrast != 5000) {
    uint8_t lut[256];
    for (int i = 0; i < 256; ++i)
      lut[i] = Clamp(int((i - 16) * (contrast / 5000.0) + 16 + (bright - 5000) * 110 / 5000));
    for (size_t i = 0; i < luma; ++i) f.y[i] = lut[f.y[i]];
  }
  if (sharp != 5000) {
    const int k = int((sharp - 5000) * 256 / 5000);  // -256..256
    for (int y = 0; y < f.height; ++y) {
      uint8_t* row = f.y + size_t(y) * f.width;
      int prev = row[0];
      for (int x = 1; x + 1 < f.width; ++x) {
        const int cur = row[x];
        row[x] = Clamp(cur + (((2 * cur - prev - row[x + 1]) * k) >> 8));
        prev = cur;
      }
    }
  }
  if (hue != 5000 || sat != 5000) {
    const double angle = (hue - 5000) / 5000.0 * M_PI, gain = sat / 5000.0;
    const int c = int(std::cos(angle) * gain * 256), s = int(std::sin(angle) * gain * 256);
    const size_t chroma = size_t(f.width / 2) * (f.height / 2);
    for (size_t i = 0; i < chroma; ++i) {
      const int u = f.u[i] - 128, v = f.v[i] - 128;
      f.u[i] = Clamp(128 + ((u * c - v * s) >> 8));
      f.v[i] = Clamp(128 + ((u * s + v * c) >> 8));
    }
  }
}

void VirtualPicture::DrawScene(const VirtualView& view, const std::vector<Station>& stations,
                               double t, I420Frame& f) {
  if (view.input == 0) {
    DrawCameraA(t, f);
  } else if (view.input == 2) {
    DrawCameraB(t, f);
  } else if (view.station >= 0 && view.quality > 0.0) {
    DrawStation(stations[view.station], t, f);
  }
}

void VirtualPicture::Render(const VirtualView& view, const std::vector<Station>& stations,
                            uint64_t n, double t, I420Frame& f, double fieldGap, bool topFirst) {
  const bool tuner = view.input != 0 && view.input != 2;
  const bool onStation = view.station >= 0 && view.quality > 0.0;
  DrawScene(view, stations, t, f);
  if (fieldGap > 0.0 && (!tuner || onStation)) {
    // The second field: the scene a field period later, its lines woven in.
    // Chroma rows alternate between the fields as the luma rows do.
    later_.resize(I420Frame::Size(f.width, f.height));
    I420Frame g = I420Frame::Over(later_.data(), f.width, f.height);
    DrawScene(view, stations, t + fieldGap, g);
    const int first = topFirst ? 1 : 0;  // the first line of the later field
    for (int y = first; y < f.height; y += 2)
      std::memcpy(f.y + size_t(y) * f.width, g.y + size_t(y) * f.width, f.width);
    const int cw = f.width / 2;
    for (int y = first; y < f.height / 2; y += 2) {
      std::memcpy(f.u + size_t(y) * cw, g.u + size_t(y) * cw, cw);
      std::memcpy(f.v + size_t(y) * cw, g.v + size_t(y) * cw, cw);
    }
  }
  if (tuner && (!onStation || view.quality < 1.0)) MixSnow(onStation ? view.quality : 0.0, n, f);
  ApplyColour(view, f);
}

}  // namespace strova::card
