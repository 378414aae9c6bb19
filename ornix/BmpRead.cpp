// BMP file parser: uncompressed 1/4/8/16/24/32 bits, bit-field masks for 16
// and 32 bits, RLE8 and RLE4. Every field is checked against the data size.
#include <algorithm>
#include <cstring>

#include "ornix/Internal.h"

namespace ornix {
namespace {

struct BmpInfo {
    int width = 0, height = 0, bits = 0;
    bool topDown = false;
    int entry = 4;  // bytes per colour-table entry: 3 for the OS/2 1.x header
    uint32_t infoSize = 40;
    uint32_t compression = 0, offBits = 0, colours = 0;
    uint32_t masks[3] = {0, 0, 0};
};

int MaskShift(uint32_t m) {
    int s = 0;
    while (m && !(m & 1)) m >>= 1, ++s;
    return s;
}
int MaskBits(uint32_t m) {
    m >>= MaskShift(m);
    int n = 0;
    while (m & 1) m >>= 1, ++n;
    return n;
}
// A field of any width scaled to 0..255 with rounding.
uint8_t Channel(uint32_t v, uint32_t mask) {
    if (!mask) return 0;
    const int n = MaskBits(mask);
    const uint64_t c = (v & mask) >> MaskShift(mask), max = (uint64_t(1) << n) - 1;
    return n ? uint8_t((c * 255 + max / 2) / max) : 0;
}

// The OS/2 1.x header: 16-bit width and height, no compression.
bool ParseCoreHeader(const uint8_t* d, size_t size, BmpInfo& bi) {
    if (size < 26) return SetError(ORNIX_ERR_TRUNCATED), false;
    const int w = Le16(d + 18), h = int16_t(Le16(d + 20));
    bi.bits = Le16(d + 24), bi.offBits = Le32(d + 10), bi.entry = 3, bi.infoSize = 12;
    if (!CheckSize(w, h)) return false;
    bi.width = w, bi.height = h;
    if (!(bi.bits == 1 || bi.bits == 4 || bi.bits == 8 || bi.bits == 24)) return SetError(ORNIX_ERR_UNSUPPORTED), false;
    return true;
}

bool ParseHeader(const uint8_t* d, size_t size, BmpInfo& bi) {
    if (size < 18 || d[0] != 'B' || d[1] != 'M') return SetError(size < 2 || d[0] != 'B' ? ORNIX_ERR_NOT_FORMAT : ORNIX_ERR_TRUNCATED), false;
    uint32_t infoSize = Le32(d + 14);
    if (infoSize == 12) return ParseCoreHeader(d, size, bi);
    if (size < 54) return SetError(ORNIX_ERR_TRUNCATED), false;
    if (infoSize < 40 || 14 + uint64_t(infoSize) > size) return SetError(infoSize < 40 ? ORNIX_ERR_UNSUPPORTED : ORNIX_ERR_TRUNCATED), false;
    bi.infoSize = infoSize;
    int32_t w = int32_t(Le32(d + 18)), h = int32_t(Le32(d + 22));
    bi.bits = Le16(d + 28);
    bi.compression = Le32(d + 30);
    bi.offBits = Le32(d + 10);
    bi.colours = Le32(d + 46);
    if (h == INT32_MIN) return SetError(ORNIX_ERR_NOT_FORMAT), false;
    bi.topDown = h < 0;
    if (!CheckSize(w, bi.topDown ? -int64_t(h) : h)) return false;
    bi.width = w;
    bi.height = bi.topDown ? -h : h;
    bool okBits = bi.bits == 1 || bi.bits == 4 || bi.bits == 8 || bi.bits == 16 || bi.bits == 24 || bi.bits == 32;
    bool okComp = bi.compression == 0 || (bi.compression == 1 && bi.bits == 8) || (bi.compression == 2 && bi.bits == 4) ||
                  (bi.compression == 3 && (bi.bits == 16 || bi.bits == 32));
    if (!okBits || !okComp || (bi.compression != 0 && bi.compression != 3 && bi.topDown)) return SetError(ORNIX_ERR_UNSUPPORTED), false;
    if (bi.compression == 3) {
        if (size < 66) return SetError(ORNIX_ERR_TRUNCATED), false;
        // The masks follow the 40-byte header; larger headers hold them at the same place.
        for (int i = 0; i < 3; ++i) bi.masks[i] = Le32(d + 54 + i * 4);
    } else if (bi.bits == 16) {
        bi.masks[0] = 0x7C00, bi.masks[1] = 0x03E0, bi.masks[2] = 0x001F;
    } else if (bi.bits == 32) {
        bi.masks[0] = 0xFF0000, bi.masks[1] = 0xFF00, bi.masks[2] = 0xFF;
    }
    return true;
}

bool ReadPalette(const uint8_t* d, size_t size, const BmpInfo& bi, Image& img) {
    if (bi.bits > 8) return true;
    uint32_t max = 1u << bi.bits;
    uint32_t n = bi.colours == 0 || bi.colours > max ? max : bi.colours;
    // The OS/2 1.x table fills the space before the bits (its header has no count).
    if (bi.entry == 3) n = std::min<uint64_t>(max, bi.offBits > 26 ? (uint64_t(bi.offBits) - 26) / 3 : max);
    size_t start = 14 + size_t(bi.infoSize);
    if (start + size_t(n) * bi.entry > size) return SetError(ORNIX_ERR_TRUNCATED), false;
    img.palette.assign(max, 0);
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t* e = d + start + size_t(i) * bi.entry;
        img.palette[i] = uint32_t(e[0]) | (uint32_t(e[1]) << 8) | (uint32_t(e[2]) << 16);
    }
    return true;
}

void UnpackRow(const uint8_t* src, const BmpInfo& bi, uint8_t* dst) {
    const int w = bi.width;
    if (bi.bits <= 8) {
        const int per = 8 / bi.bits, mask = (1 << bi.bits) - 1;
        for (int x = 0; x < w; ++x) dst[x] = uint8_t((src[x / per] >> (8 - bi.bits * (x % per + 1))) & mask);
        return;
    }
    for (int x = 0; x < w; ++x, dst += 3) {
        if (bi.bits == 24) {
            std::memcpy(dst, src + x * 3, 3);
            continue;
        }
        uint32_t v = bi.bits == 16 ? Le16(src + x * 2) : Le32(src + x * 4);
        dst[2] = Channel(v, bi.masks[0]);
        dst[1] = Channel(v, bi.masks[1]);
        dst[0] = Channel(v, bi.masks[2]);
    }
}

// Decodes RLE8/RLE4 into indices; stops cleanly at any overrun.
bool DecodeRle(const uint8_t* p, const uint8_t* end, const BmpInfo& bi, Image& img) {
    const int w = bi.width, h = bi.height;
    const bool four = bi.bits == 4;
    int x = 0, y = h - 1;
    auto put = [&](uint8_t v) {
        if (x < w && y >= 0) img.pixels[size_t(y) * w + x] = v;
        ++x;
    };
    while (p + 1 < end && y >= 0) {
        uint8_t n = p[0], v = p[1];
        p += 2;
        if (n) {
            for (int i = 0; i < n; ++i) put(four ? uint8_t(i & 1 ? v & 15 : v >> 4) : v);
        } else if (v == 0) {
            x = 0, --y;
        } else if (v == 1) {
            return true;
        } else if (v == 2) {
            if (p + 1 >= end) break;
            x += p[0], y -= p[1];
            p += 2;
        } else {
            size_t bytes = four ? (v + 1) / 2 : v;
            if (size_t(end - p) < bytes) break;
            for (int i = 0; i < v; ++i) put(four ? uint8_t(i & 1 ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
            p += (bytes + 1) & ~size_t(1);
        }
    }
    return true;  // A missing end marker keeps what was decoded, like common readers.
}

}  // namespace

bool DecodeBmp(const uint8_t* d, size_t size, Image& img) {
    BmpInfo bi;
    if (!ParseHeader(d, size, bi)) return false;
    img = Image{};
    img.width = bi.width, img.height = bi.height, img.bits = bi.bits;
    // A handle's 16-bit rows are 5-5-5: other layouts are kept whole as 24-bit.
    if (bi.bits == 16 && !(bi.masks[0] == 0x7C00 && bi.masks[1] == 0x03E0 && bi.masks[2] == 0x001F)) img.bits = 24;
    if (!ReadPalette(d, size, bi, img)) return false;
    if (bi.offBits >= size) return SetError(ORNIX_ERR_TRUNCATED), false;
    const size_t ch = bi.bits <= 8 ? 1 : 3;
    // An RLE pair gives at most 255 pixels of a row, plus end-of-line pairs: check before allocating.
    const bool rle = bi.compression == 1 || bi.compression == 2;
    if (rle && uint64_t(size - bi.offBits) / 2 * 255 < uint64_t(bi.width) * bi.height / 2) return SetError(ORNIX_ERR_TRUNCATED), false;
    try {
        img.pixels.assign(size_t(bi.width) * bi.height * ch, 0);
    } catch (...) {
        return SetError(ORNIX_ERR_NO_MEMORY), false;
    }
    if (bi.compression == 1 || bi.compression == 2) return DecodeRle(d + bi.offBits, d + size, bi, img);
    const size_t row = ((size_t(bi.width) * bi.bits + 31) / 32) * 4;
    if (size - bi.offBits < row * bi.height) return SetError(ORNIX_ERR_TRUNCATED), false;
    for (int r = 0; r < bi.height; ++r) {
        int y = bi.topDown ? r : bi.height - 1 - r;
        UnpackRow(d + bi.offBits + row * r, bi, &img.pixels[size_t(y) * bi.width * ch]);
    }
    return true;
}

}  // namespace ornix
