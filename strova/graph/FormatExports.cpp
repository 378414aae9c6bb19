// Pin format exports: the 96-byte picture format record mapped to caps.
#include "strova/Strova.h"
#include "strova/core/Context.h"
#include "strova/graph/Branches.h"
#include "strova/graph/Graph.h"

#include <gst/video/video.h>

#include <cmath>
#include <cstring>

using namespace strova::core;

namespace {

struct Subtype {
  int code;
  const char* format;
  uint16_t bits;
  uint32_t fourcc;
};

constexpr uint32_t Fourcc(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

const Subtype kSubtypes[] = {
    {0, "RGB15", 16, 0},
    {1, "BGR", 24, 0},
    {2, "YUY2", 16, Fourcc('Y', 'U', 'Y', '2')},
    {3, "YVU9", 9, Fourcc('Y', 'V', 'U', '9')},
    {4, "YV12", 12, Fourcc('Y', 'V', '1', '2')},
};

const Subtype* ByFormat(const char* format) {
  for (const auto& s : kSubtypes)
    if (format && !std::strcmp(s.format, format)) return &s;
  return nullptr;
}

// Colour code to write: with yuvMode set only RGB24, YUY2 and YVU9 are kept.
int WriteCode(int code, int yuvMode) {
  if (!yuvMode) return code;
  return (code == 1 || code == 3) ? code : 2;
}

void FillFromCaps(const GstVideoInfo& vi, VideoInfo* info) {
  const Subtype* sub = ByFormat(gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&vi)));
  info->colorCode = sub ? sub->code : -1;
  info->source = {0, 0, 0, 0};
  info->target = {0, 0, 0, 0};
  const int64_t frameNs = vi.fps_n > 0 ? gst_util_uint64_scale(GST_SECOND, vi.fps_d, vi.fps_n) : 0;
  info->avgTimePerFrame = frameNs / 100;
  info->bmi.size = 40;
  info->bmi.width = GST_VIDEO_INFO_WIDTH(&vi);
  info->bmi.height = GST_VIDEO_INFO_HEIGHT(&vi);
  info->bmi.planes = 1;
  info->bmi.bitCount = sub ? sub->bits : static_cast<uint16_t>(GST_VIDEO_INFO_COMP_DEPTH(&vi, 0) * 2);
  info->bmi.compression = sub ? sub->fourcc : 0;
  info->bmi.sizeImage = static_cast<uint32_t>(GST_VIDEO_INFO_SIZE(&vi));
  info->bmi.xPelsPerMeter = info->bmi.yPelsPerMeter = 0;
  info->bmi.clrUsed = info->bmi.clrImportant = 0;
  info->bitRate = static_cast<uint32_t>(
      vi.fps_d > 0 ? uint64_t(info->bmi.sizeImage) * 8 * uint64_t(vi.fps_n) / uint64_t(vi.fps_d) : 0);
  info->bitErrorRate = 0;
}

// Frame times a pin takes, in 100-ns units: 100 frames a second down to
// one frame in ten seconds. Zero is the card's own rate.
constexpr int64_t kMinFrameTime = 100000;
constexpr int64_t kMaxFrameTime = 100000000;

// The pins deliver the whole picture: a rectangle is either empty (the
// whole picture) or exactly the picture.
bool WholePicture(const StrovaRect& r, const VideoInfo& info) {
  const int32_t h = info.bmi.height < 0 ? -info.bmi.height : info.bmi.height;
  const bool empty = r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0;
  return empty || (r.left == 0 && r.top == 0 && r.right == info.bmi.width && r.bottom == h);
}

// The rate a frame time asks of the pin: 0 (follow the card) when it is the
// card's own rate within 1 %. The capture pin converts to any other rate;
// the preview pin shows the card's frames as they come and refuses one.
bool FrameRateFor(CardContext& c, int pin, int64_t frameTime, int* num, int* den) {
  int n = 0, d = 1;
  if (strova::graph::DeviceFrameRate(c, &n, &d)) {
    const double own = 1e7 * d / n;
    if (std::abs(own - static_cast<double>(frameTime)) <= own * 0.01) {
      *num = 0;
      return true;
    }
  }
  if (pin != STROVA_PIN_CAPTURE) return false;
  gst_util_double_to_fraction(1e7 / static_cast<double>(frameTime), num, den);
  return *num > 0;
}

}  // namespace

namespace strova::graph {

STROVA_STATUS ReadPinInfo(CardContext& c, int pin, VideoInfo* info) {
  GstCaps* caps = PinFormat(c, pin);
  if (!caps) return E_FAIL;
  GstVideoInfo vi;
  const bool ok = gst_video_info_from_caps(&vi, caps);
  gst_caps_unref(caps);
  if (ok) FillFromCaps(vi, info);  // another format type leaves the record as it was
  return S_OK;
}

STROVA_STATUS WritePinInfo(CardContext& c, const VideoInfo& info, int pin) {
  if (info.bmi.width <= 0 || info.bmi.width > 4096 || info.bmi.height == 0 || info.bmi.height > 4096 ||
      info.bmi.height < -4096 || !WholePicture(info.source, info) || !WholePicture(info.target, info))
    return E_INVALIDARG;
  const int64_t frame = info.avgTimePerFrame;
  if (frame != 0 && (frame < kMinFrameTime || frame > kMaxFrameTime)) return E_INVALIDARG;
  GstCaps* current = PinFormat(c, pin);
  if (!current) return E_FAIL;
  int rateN = 0, rateD = 1;
  if (frame != 0 && !FrameRateFor(c, pin, frame, &rateN, &rateD)) {
    gst_caps_unref(current);
    return E_INVALIDARG;
  }
  const int earlier = c.graphState;
  if (earlier != STROVA_STATE_STOPPED) SetState(c, STROVA_STATE_STOPPED);
  GstCaps* caps = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, info.bmi.width, "height", G_TYPE_INT,
                                      info.bmi.height < 0 ? -info.bmi.height : info.bmi.height, nullptr);
  // An unlisted code keeps the subtype the pin has.
  const int code = WriteCode(info.colorCode, c.yuvMode);
  const char* format = gst_structure_get_string(gst_caps_get_structure(current, 0), "format");
  for (const auto& s : kSubtypes)
    if (s.code == code) format = s.format;
  if (format) gst_caps_set_simple(caps, "format", G_TYPE_STRING, format, nullptr);
  if (rateN > 0) gst_caps_set_simple(caps, "framerate", GST_TYPE_FRACTION, rateN, rateD, nullptr);
  const STROVA_STATUS st = SetPinFormat(c, pin, caps);
  gst_caps_unref(caps);
  gst_caps_unref(current);
  if (earlier != STROVA_STATE_STOPPED) SetState(c, earlier);
  return st;
}

}  // namespace strova::graph

extern "C" {

STROVA_API STROVA_STATUS Strova_GetVideoInfo(int card, VideoInfo* info, int pin) {
  CardContext* c = CardAt(card);
  if (!c || !info || (pin != STROVA_PIN_CAPTURE && pin != STROVA_PIN_PREVIEW)) return E_INVALIDARG;
  return strova::graph::ReadPinInfo(*c, pin, info);
}

STROVA_API STROVA_STATUS Strova_SetVideoInfo(int card, VideoInfo info, int pin) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  if (c->capturing) return VFW_E_WRONG_STATE;
  if (pin != STROVA_PIN_CAPTURE && pin != STROVA_PIN_PREVIEW) return E_INVALIDARG;
  return strova::graph::WritePinInfo(*c, info, pin);
}

}  // extern "C"
