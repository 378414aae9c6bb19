// Still frames: the newest video frame kept as a packed device-independent
// bitmap (40-byte information header + bottom-up 24-bit rows) and written as
// a BMP file of 14 + DIB bytes.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "strova/filters/mpeg/MpegWriter.h"

namespace strova::still {

using mpeg::Frame;
using mpeg::PixelFormat;

// Packed 24-bit DIB of the frame; half = every second pixel and row averaged
// into a picture of half width and height.  Empty for unusable input.
std::vector<uint8_t> MakeDib(const Frame& frame, bool half);

// The 14-byte file header for a DIB of the given size.
std::array<uint8_t, 14> BmpFileHeader(uint32_t dibSize);

// Writes header + DIB, replacing path atomically (temp file, fsync, rename).
bool WriteBmpFile(const std::string& path, const std::vector<uint8_t>& dib);

// Parameter state and frame store of the still grabber filter.  Frames come
// from the streaming thread, requests from the caller: both lock.
class StillGrabber {
 public:
  static constexpr uint32_t kHalfPicture = 0x605;
  static constexpr uint32_t kDibSize = 0x607;
  static constexpr uint32_t kDibCopy = 0x608;

  // Parameters 0x601..0x603 are accepted and kept; 0x605 chooses half size.
  bool SetParam(uint32_t id, int32_t value);
  int32_t Param(uint32_t id) const;

  // Stores the newest frame (called for every frame that passes).
  void Push(const Frame& frame);

  // Size in bytes of the current frame as a DIB; 0 before the first frame.
  int32_t DibSize() const;
  // Copies the current DIB into buffer (capacity bytes); false when there is
  // no frame or the buffer is too small.
  bool CopyDib(uint8_t* buffer, size_t capacity) const;

 private:
  void Refresh() const;

  mutable std::mutex mutex_;
  std::vector<uint8_t> frame_;
  Frame shape_;
  bool half_ = false;
  int32_t params_[4] = {0, 0, 0, 0};  // 0x601, 0x602, 0x603, 0x604
  mutable std::vector<uint8_t> dib_;
  mutable bool dibStale_ = true;
};

}  // namespace strova::still
