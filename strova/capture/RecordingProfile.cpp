#include "strova/capture/RecordingProfile.h"

#include <unistd.h>

#include <algorithm>

namespace strova::capture {
namespace {

constexpr int kAudioRates[] = {64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr int kDefaultAudioIndex = 7;
constexpr size_t kMaxCaptureName = 259;

// Usable video rates: MPEG-1 up to 4000 kbit/s (beyond that MPEG-2 serves), MPEG-2
// main profile up to 9800 kbit/s (the DVD ceiling).
int ClampVideoRate(int kbps, bool mpeg2) {
  return std::clamp(kbps, 300, mpeg2 ? 9800 : 4000);
}

}  // namespace

int AudioRateKbps(int index) {
  if (index < 0 || index > 10) index = kDefaultAudioIndex;
  return kAudioRates[index];
}

void CapturePinSize(const RecordingValues& v, int* width, int* height) {
  if (v.FullWidth()) {
    *width = 720;
    *height = v.Pal() ? 576 : 480;
  } else {
    *width = v.Pal() ? 352 : 320;
    *height = v.Pal() ? 288 : 240;
  }
}

ParamList VideoEncoderParams(const RecordingValues& v) {
  const int rate = v.Pal() ? 3 : 4;
  const int size = v.Pal() ? 1 : 2;
  if (v.captureMode == 1)
    return {{5, rate}, {7, size}, {8, 0}, {13, 8}, {14, 8}, {11, 15}, {12, 3}, {9, 1120}};
  if (v.captureMode == 2)
    return {{5, rate}, {7, size}, {13, 0}, {14, 0}, {11, 6}, {12, 1}, {8, 1}, {9, 2400}, {9, v.bitstream}};
  const bool full = v.mpgMode != 0;
  ParamList p = {{5, rate}, {7, size}, {8, full ? 1 : 0}, {13, full ? 0 : 8}, {14, full ? 0 : 8}};
  if (v.Pal()) {
    p.push_back({11, full ? 6 : 15});
    p.push_back({12, full ? 1 : 3});
  }
  p.push_back({9, v.bitstream});
  return p;
}

bool InterlacedRecording(const RecordingValues& v) {
  if (v.Lossless()) return true;  // the fields as the card gives them
  if (v.FileWriter()) return false;
  bool mpeg2 = false;
  for (const auto& [id, value] : VideoEncoderParams(v))
    if (id == 8) mpeg2 = value != 0;
  return mpeg2;
}

int32_t AudioEncoderBitrate(const RecordingValues& v) {
  return v.captureMode >= 1 ? 224 : AudioRateKbps(v.audioRate);
}

ParamList MultiplexerParams(const RecordingValues& v) {
  int type = 0, packet = 2324;
  if (v.captureMode == 1) {
    type = 2;
  } else if (v.captureMode == 2 || v.mpgMode != 0) {
    type = 1;
    packet = 2048;
  }
  return {{0x203, type}, {0x201, packet}, {0x202, 1}, {0x205, 1}, {0x204, 0}};
}

bool ValidCaptureName(const std::string& path, bool mpeg) {
  if (path.empty() || path.size() > kMaxCaptureName) return false;
  return !mpeg || path.size() >= 4;
}

bool CaptureFolderWritable(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

std::string RecordedFile(const RecordingValues& v, const std::string& capturePath) {
  if (v.Avi()) return capturePath;
  return WorkName(capturePath) + (v.Lossless() ? ".mkv" : v.H264() ? ".mp4" : ".mpg");
}

std::string WorkName(const std::string& path) {
  return path.size() >= 4 ? path.substr(0, path.size() - 4) : std::string();
}

bool MpegParams::SetVideo(uint32_t id, int32_t value) {
  switch (id) {
    case 5: frameRateCode_ = value; return true;
    case 7: sizeCode_ = value; return true;
    case 8: mpeg2_ = value; return true;
    case 9: bitrate_ = value; return true;
    case 11: gop_ = value; return true;
    case 12: bDistance_ = value; return true;
    case 13: searchX_ = value; return true;
    case 14: searchY_ = value; return true;
  }
  return false;
}

bool MpegParams::SetAudio(uint32_t id, int32_t value) {
  if (id != 0x102) return false;
  audioKbps_ = value;
  return true;
}

bool MpegParams::SetMux(uint32_t id, int32_t value) {
  switch (id) {
    case 0x203: muxType_ = value; return true;
    case 0x201: packetSize_ = value; return true;
    case 0x202:
    case 0x204:
    case 0x205:
    case 0x208: return true;
  }
  return false;
}

// The stream follows its format where a parameter is not legal for it: VCD
// is always 352-wide CIF/SIF, DVD always full D1; the rate is parameter 9.
mpeg::VideoSettings MpegParams::Video() const {
  mpeg::VideoSettings s;
  const bool pal = sizeCode_ == 1;
  s.mpeg2 = mpeg2_ != 0;
  s.width = s.mpeg2 ? 720 : 352;
  s.height = s.mpeg2 ? (pal ? 576 : 480) : (pal ? 288 : 240);
  s.fpsNum = frameRateCode_ == 4 ? 30000 : 25;
  s.fpsDen = frameRateCode_ == 4 ? 1001 : 1;
  s.gopLength = std::clamp(gop_, 1, 18);
  s.bFrameDistance = std::clamp(bDistance_, 1, 3);
  s.bitrateKbps = ClampVideoRate(bitrate_, s.mpeg2);
  return s;
}

mpeg::AudioSettings MpegParams::Audio(bool enabled) const {
  mpeg::AudioSettings a;
  a.enabled = enabled;
  a.sampleRate = (muxType_ == 1 || mpeg2_) ? 48000 : 44100;
  const int* begin = std::begin(kAudioRates);
  const int* end = std::end(kAudioRates);
  a.bitrateKbps = std::find(begin, end, audioKbps_) != end ? audioKbps_ : 224;
  return a;
}

mpeg::MuxSettings MpegParams::Mux() const {
  mpeg::MuxSettings m;
  m.type = muxType_ == 2 ? mpeg::MuxType::Vcd : muxType_ == 1 ? mpeg::MuxType::Dvd : mpeg::MuxType::Mpeg;
  m.packetSize = m.type == mpeg::MuxType::Vcd ? 2324 : m.type == mpeg::MuxType::Dvd ? 2048
                                                                                     : std::clamp(packetSize_, 512, 65536);
  m.path = workName_.empty() ? std::string() : workName_ + ".mpg";
  return m;
}

}  // namespace strova::capture
