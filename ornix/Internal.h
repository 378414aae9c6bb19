// Shared pieces of the codec: the last-error slot, the size limits, file I/O
// and the conversion between image handles and plain pixel buffers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ornix/Ornix.h"

namespace ornix {

void SetError(int code);

constexpr int kMaxSide = 30000;
// Fuzz builds lower the pixel limit so that each input exercises parsing
// rather than filling a huge blank picture a header declares.
#ifndef ORNIX_MAX_PIXELS
#define ORNIX_MAX_PIXELS (uint64_t(1) << 28)
#endif
constexpr uint64_t kMaxPixels = ORNIX_MAX_PIXELS;
// True when width x height is within the limits; sets the error otherwise.
bool CheckSize(int64_t width, int64_t height);
// True when a compressed file of `fileSize` bytes can plausibly hold `pixels`
// pixels: no codec read here packs more than 4096 into one byte, and a few
// million are always allowed. A tiny file that declares a huge picture is
// refused (truncated) before the picture's memory is taken.
bool CheckDensity(uint64_t pixels, uint64_t fileSize);

// Pixels top-down: 24-bit images hold B,G,R per pixel, indexed images one
// palette index per pixel (palette entries B,G,R,0).
struct Image {
    int width = 0;
    int height = 0;
    int bits = 24;                  // 1, 4, 8 (indexed), 16, 24, 32 as stored in the handle
    std::vector<uint32_t> palette;  // 0x00RRGGBB, for bits <= 8
    std::vector<uint8_t> pixels;    // indexed: w*h indices; otherwise w*h*3 BGR
    bool Indexed() const { return bits <= 8; }
};

// Whole file contents; false (error set) when it cannot be read.
bool ReadWholeFile(const char* path, std::vector<uint8_t>& out);
// Creates a new empty file named path + "." + six random characters, mode
// 0666 less the umask; the descriptor, or -1 on failure. `tmp` gets the name.
int CreateTempBeside(const char* path, std::string& tmp);
// Finishes a file made by CreateTempBeside: fsync, close and rename onto
// path when `ok`, otherwise (or when any step fails) removes it; error set.
bool CommitTemp(int fd, const std::string& tmp, const char* path, bool ok);
// Writes all of data to fd (retrying short writes); false on failure.
bool WriteAll(int fd, const uint8_t* data, size_t size);
// Writes data to a temporary file beside path, fsyncs and renames; error set on failure.
bool WriteFileAtomic(const char* path, const std::vector<uint8_t>& data);
bool WriteFileAtomic(const char* path, const uint8_t* data, size_t size);

// Builds a handle in the BMP layout from an image; null (error set) on failure.
ORNIX_HANDLE MakeHandle(const Image& img);
// A new handle with the headers of a width x height image of `bits` above 8
// and room for its rows, left uninitialised for the caller to fill. The handle
// comes back locked: `rows` points at the first stored (bottom) row, `pitch`
// is the padded row size. Null (error set) on failure.
ORNIX_HANDLE AllocHandle(int width, int height, int bits, uint8_t*& rows, size_t& pitch);
// Parses a handle into an image (indexed kept indexed, 16/32 bits expanded to
// 24-bit pixels but `bits` kept); false (error set) when the handle is invalid.
bool ReadHandle(ORNIX_HANDLE h, Image& img);
// Same, but always gives 24-bit BGR pixels.
bool ReadHandleRgb(ORNIX_HANDLE h, Image& img);

// Parses a BMP file image in memory (file header first).
bool DecodeBmp(const uint8_t* data, size_t size, Image& img);

inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, uint16_t(x));
    Put16(v, uint16_t(x >> 16));
}

}  // namespace ornix
