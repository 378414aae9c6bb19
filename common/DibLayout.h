// Byte-level access to the BMP file image inside a pixel block, shared by the
// image object's source files.
#pragma once
#include <cstddef>
#include <cstdint>

namespace dib {

constexpr size_t kHeaders = 54;  // 14-byte file header + 40-byte info header

inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace dib
