// Helpers for the codec tests: synthetic images and pixel comparison.
#pragma once
#include <string>
#include <vector>

#include "ornix/Internal.h"
#include "ornix/Ornix.h"
#include "platform/GlobalMemory.h"

namespace ornix::test {

// A w x h image of the given bit count with a varied pattern; indexed images
// get a palette of distinct colours.
inline Image Pattern(int w, int h, int bits) {
    Image img;
    img.width = w, img.height = h, img.bits = bits;
    if (bits <= 8) {
        int n = 1 << bits;
        for (int i = 0; i < n; ++i) img.palette.push_back(uint32_t((i * 37) & 255) << 16 | uint32_t((i * 91) & 255) << 8 | uint32_t((255 - i * 13) & 255));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) img.pixels.push_back(uint8_t((x * 3 + y * 5) % n));
    } else {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                img.pixels.push_back(uint8_t(x * 255 / (w > 1 ? w - 1 : 1)));
                img.pixels.push_back(uint8_t(y * 255 / (h > 1 ? h - 1 : 1)));
                img.pixels.push_back(uint8_t((x + y) * 8));
            }
    }
    return img;
}

// Smooth picture for lossy JPEG comparisons.
inline Image Smooth(int w, int h) {
    Image img;
    img.width = w, img.height = h, img.bits = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            img.pixels.push_back(uint8_t(60 + x * 120 / w));
            img.pixels.push_back(uint8_t(40 + y * 150 / h));
            img.pixels.push_back(uint8_t(200 - (x + y) * 100 / (w + h)));
        }
    return img;
}

inline Image Rgb(ORNIX_HANDLE h) {
    Image img;
    ReadHandleRgb(h, img);
    return img;
}

// Largest per-channel difference; 256 when the sizes differ.
inline int MaxDiff(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return 256;
    int m = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) m = std::max(m, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    return m;
}

inline std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace ornix::test
