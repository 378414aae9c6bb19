#include "SimFrames.h"

#include <algorithm>
#include <cstring>

namespace v4l2sim {
namespace {

struct Rgb {
  uint8_t r, g, b;
};

// Eight vertical bars, tinted per station, with a white bar moving down.
Rgb TestCard(uint32_t x, uint32_t y, uint32_t w, uint32_t h, int station, int64_t frame) {
  static const Rgb kBars[] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235}, {16, 235, 16},
                              {235, 16, 235},  {235, 16, 16},  {16, 16, 235},  {16, 16, 16}};
  const uint32_t moving = uint32_t(frame * 4 % std::max<uint32_t>(h, 1));
  if (y >= moving && y < moving + std::max<uint32_t>(h / 32, 2)) return {235, 235, 235};
  Rgb c = kBars[std::min<uint32_t>(x * 8 / std::max<uint32_t>(w, 1), 7)];
  // The lower quarter carries the station's own shade so pictures differ.
  if (y > h * 3 / 4) {
    const uint8_t v = uint8_t(40 + (station * 37) % 180);
    c = {v, uint8_t(255 - v), uint8_t((v * 3) & 0xFF)};
  }
  return c;
}

uint8_t Luma(Rgb c) { return uint8_t((66 * c.r + 129 * c.g + 25 * c.b + 128) / 256 + 16); }
uint8_t Cb(Rgb c) { return uint8_t((-38 * c.r - 74 * c.g + 112 * c.b + 128) / 256 + 128); }
uint8_t Cr(Rgb c) { return uint8_t((112 * c.r - 94 * c.g - 18 * c.b + 128) / 256 + 128); }

}  // namespace

uint32_t BytesPerLine(uint32_t fourcc, uint32_t width) {
  switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_UYVY:
      return width * 2;
    case V4L2_PIX_FMT_GREY:
      return width;
    case V4L2_PIX_FMT_BGR24:
      return width * 3;
    default:
      return 0;
  }
}

void PaintFrame(uint8_t* dst, size_t len, const v4l2_pix_format& pix, int station, int64_t frame) {
  const uint32_t w = pix.width, h = pix.height, stride = pix.bytesperline;
  if (stride == 0) return;
  uint32_t noise = uint32_t(frame) * 2654435761u + 12345u;
  for (uint32_t y = 0; y < h && size_t(y + 1) * stride <= len; ++y) {
    uint8_t* row = dst + size_t(y) * stride;
    for (uint32_t x = 0; x < w; x += 2) {
      Rgb a, b;
      if (station < 0) {
        noise = noise * 1103515245u + 12345u;
        const uint8_t v1 = uint8_t(noise >> 24), v2 = uint8_t(noise >> 16);
        a = {v1, v1, v1};
        b = {v2, v2, v2};
      } else {
        a = TestCard(x, y, w, h, station, frame);
        b = TestCard(x + 1, y, w, h, station, frame);
      }
      switch (pix.pixelformat) {
        case V4L2_PIX_FMT_YUYV: {
          uint8_t* p = row + x * 2;
          p[0] = Luma(a), p[1] = Cb(a), p[2] = Luma(b), p[3] = Cr(a);
          break;
        }
        case V4L2_PIX_FMT_UYVY: {
          uint8_t* p = row + x * 2;
          p[0] = Cb(a), p[1] = Luma(a), p[2] = Cr(a), p[3] = Luma(b);
          break;
        }
        case V4L2_PIX_FMT_GREY:
          row[x] = Luma(a);
          if (x + 1 < w) row[x + 1] = Luma(b);
          break;
        case V4L2_PIX_FMT_BGR24: {
          uint8_t* p = row + x * 3;
          p[0] = a.b, p[1] = a.g, p[2] = a.r;
          if (x + 1 < w) p[3] = b.b, p[4] = b.g, p[5] = b.r;
          break;
        }
        default:
          break;
      }
    }
  }
}

}  // namespace v4l2sim
