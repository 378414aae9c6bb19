// Still frames: the newest video frame kept as a packed device-independent
// bitmap (40-byte information header + bottom-up 24-bit rows) and written as
// a BMP file of 14 + DIB bytes.
#pragma once

#include <array>
#include <cstdint>
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

}  // namespace strova::still
