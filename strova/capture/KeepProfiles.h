// The recording profiles for keeps: lossless (FFV1 version 3 with slice
// checksums, 48 kHz PCM, Matroska) and H.264 + AAC in MP4. Both carry the
// 4:3 display aspect and BT.601 limited-range colour flags.
#pragma once

#include <string>

#include "strova/filters/mpeg/MpegWriter.h"

namespace strova::capture {

struct KeepProfile {
  mpeg::VideoSettings video;
  mpeg::AudioSettings audio;
  mpeg::MuxSettings mux;
};

// Full-size pictures of the standard (720 x 576 at 25 fps, 720 x 480 at
// 30000/1001), fields kept and flagged in their order.
KeepProfile LosslessProfile(bool pal, bool sound, const std::string& path);
// Full-size progressive pictures at quality 0..1 (the H.264 rate factor).
KeepProfile H264Profile(bool pal, bool sound, double quality, const std::string& path);

// The name of the encoder the H.264 profile uses on this machine.
std::string H264EncoderName();

// Matroska keeps the capture log in the tag CAPTURE_LOG. Its room is
// reserved when the file starts (the log is complete only at the end) and
// filled in place once the file is closed; a longer log is cut.
inline constexpr size_t kLogTagRoom = 16384;
bool StoreLogInFile(const std::string& path, const std::string& log);

}  // namespace strova::capture
