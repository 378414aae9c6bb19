// The per-frame checksum file beside a lossless recording, in ffmpeg's
// framemd5 format (written by libavformat's own framemd5 multiplexer, so
// `ffmpeg -i FILE -f framemd5 -` gives the same lines for the same frames),
// and the check after the capture that decodes the file and compares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace strova::capture {

class FrameChecksums {
 public:
  FrameChecksums();
  ~FrameChecksums();
  FrameChecksums(const FrameChecksums&) = delete;
  FrameChecksums& operator=(const FrameChecksums&) = delete;

  // Writes to a temporary file beside path, renamed to path by Close.
  // Pictures are planar 4:2:0 of that size; sound interleaved 16-bit stereo.
  bool Open(const std::string& path, int width, int height, int sarNum, int sarDen, int fpsNum, int fpsDen,
            int sampleRate, bool sound);
  void Video(const uint8_t* const planes[4], const int strides[4], int64_t pts);
  void Audio(const uint8_t* pcm, size_t bytes, int64_t pts);
  bool Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

struct CheckResult {
  int64_t frames = 0;      // frames decoded and compared
  int64_t mismatches = 0;  // frames whose checksum differs, or missing on either side
  std::string error;       // why the check could not be made
  bool Passed() const { return error.empty() && mismatches == 0 && frames > 0; }
};

// Decodes every frame of the recording and compares its checksum with the
// framemd5 file's line for it, stream by stream.
CheckResult CheckRecording(const std::string& file, const std::string& checksums);

}  // namespace strova::capture
