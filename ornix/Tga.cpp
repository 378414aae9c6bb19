// TGA: reads colour-mapped, true-colour and grey images, uncompressed or RLE,
// 8/15/16/24/32 bits, grey with alpha; writes colour-mapped 8-bit or true-colour 24-bit, uncompressed.
#include <cstring>

#include "ornix/Internal.h"

using namespace ornix;

namespace {

struct TgaHeader {
    int idLen, mapType, type, mapFirst, mapLen, mapBits, width, height, bits, desc;
};

uint32_t PixelColour(const uint8_t* p, int bytes) {
    if (bytes >= 3) return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
    if (bytes == 2) {
        uint16_t v = Le16(p);
        auto x = [](int c) { return uint32_t((c * 255 + 15) / 31); };
        return (x((v >> 10) & 31) << 16) | (x((v >> 5) & 31) << 8) | x(v & 31);
    }
    return uint32_t(p[0]) * 0x010101u;
}

// Reads width*height pixels of `bytes` each (RLE when `rle`) into `raw`.
bool ReadPixels(const uint8_t*& p, const uint8_t* end, bool rle, int bytes, size_t count, std::vector<uint8_t>& raw) {
    raw.resize(count * bytes);
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        bool repeat = false;
        if (rle) {
            if (p >= end) return false;
            repeat = *p & 0x80;
            run = (*p++ & 0x7F) + 1;
        }
        if (repeat) {
            if (size_t(end - p) < size_t(bytes)) return false;
            for (size_t k = 0; k < run && i < count; ++k, ++i) std::memcpy(&raw[i * bytes], p, bytes);
            p += bytes;
        } else {
            size_t n = std::min(run, count - i);
            if (size_t(end - p) < n * bytes) return false;
            std::memcpy(&raw[i * bytes], p, n * bytes);
            p += n * bytes, i += n;
        }
    }
    return true;
}

bool ParseHeader(const std::vector<uint8_t>& d, TgaHeader& t) {
    if (d.size() < 18) return SetError(ORNIX_ERR_TRUNCATED), false;
    t = {d[0], d[1], d[2], Le16(&d[3]), Le16(&d[5]), d[7], Le16(&d[12]), Le16(&d[14]), d[16], d[17]};
    const int base = t.type & 7;
    const bool known = (t.type & ~8) >= 1 && (t.type & ~8) <= 3 && t.mapType <= 1;
    if (!known) return SetError(ORNIX_ERR_NOT_FORMAT), false;
    if (!CheckSize(t.width, t.height)) return false;
    // Grey comes as 8 bits, or 16 with an alpha byte after the grey one.
    bool okBits = base == 1 ? (t.bits == 8 && t.mapType == 1) : base == 3 ? (t.bits == 8 || t.bits == 16)
                                                                           : (t.bits == 15 || t.bits == 16 || t.bits == 24 || t.bits == 32);
    if (!okBits || (t.mapType && !(t.mapBits == 15 || t.mapBits == 16 || t.mapBits == 24 || t.mapBits == 32)))
        return SetError(ORNIX_ERR_UNSUPPORTED), false;
    return true;
}

bool DecodeTga(const std::vector<uint8_t>& d, Image& img) {
    TgaHeader t;
    if (!ParseHeader(d, t)) return false;
    const uint8_t* p = d.data() + 18 + t.idLen;
    const uint8_t* end = d.data() + d.size();
    const int mapBytes = (t.mapBits + 7) / 8;
    if (p > end || (t.mapType && size_t(end - p) < size_t(t.mapLen) * mapBytes)) return SetError(ORNIX_ERR_TRUNCATED), false;
    std::vector<uint32_t> map;
    if (t.mapType) {
        for (int i = 0; i < t.mapLen; ++i) map.push_back(PixelColour(p + i * mapBytes, mapBytes));
        p += size_t(t.mapLen) * mapBytes;
    }
    const int bytes = (t.bits + 7) / 8;
    const size_t count = size_t(t.width) * t.height;
    // A packet of 1 + `bytes` bytes gives at most 128 pixels: check before allocating.
    if (uint64_t(end - p) * 128 / uint64_t(1 + bytes) < count) return SetError(ORNIX_ERR_TRUNCATED), false;
    std::vector<uint8_t> raw;
    if (!ReadPixels(p, end, t.type & 8, bytes, count, raw)) return SetError(ORNIX_ERR_TRUNCATED), false;
    img.width = t.width, img.height = t.height;
    const bool indexed = (t.type & 7) != 2;
    img.bits = indexed ? 8 : 24;
    img.pixels.assign(count * (indexed ? 1 : 3), 0);
    if ((t.type & 7) == 1) {
        img.palette.assign(256, 0);
        for (int i = 0; i < 256; ++i) {
            int k = i - t.mapFirst;
            if (k >= 0 && k < int(map.size())) img.palette[i] = map[k];
        }
    } else if (indexed) {
        for (uint32_t i = 0; i < 256; ++i) img.palette.push_back(i * 0x010101u);
    }
    const bool top = t.desc & 0x20, right = t.desc & 0x10;
    for (int r = 0; r < t.height; ++r)
        for (int c = 0; c < t.width; ++c) {
            int y = top ? r : t.height - 1 - r, x = right ? t.width - 1 - c : c;
            const uint8_t* s = &raw[(size_t(r) * t.width + c) * bytes];
            size_t o = size_t(y) * t.width + x;
            if (indexed) {
                img.pixels[o] = s[0];
            } else {
                uint32_t col = PixelColour(s, bytes);
                img.pixels[o * 3] = uint8_t(col), img.pixels[o * 3 + 1] = uint8_t(col >> 8), img.pixels[o * 3 + 2] = uint8_t(col >> 16);
            }
        }
    return true;
}

void EncodeTga(const Image& img, std::vector<uint8_t>& out) {
    const bool indexed = img.Indexed();
    out.assign(18, 0);
    out[1] = indexed ? 1 : 0;
    out[2] = indexed ? 1 : 2;
    if (indexed) out[5] = 0, out[6] = 1, out[7] = 24;  // 256 entries of 24 bits
    out[12] = uint8_t(img.width), out[13] = uint8_t(img.width >> 8);
    out[14] = uint8_t(img.height), out[15] = uint8_t(img.height >> 8);
    out[16] = indexed ? 8 : 24;
    out[17] = 0x20;  // rows top to bottom
    if (indexed)
        for (int i = 0; i < 256; ++i) {
            uint32_t c = i < int(img.palette.size()) ? img.palette[i] : 0;
            out.push_back(uint8_t(c)), out.push_back(uint8_t(c >> 8)), out.push_back(uint8_t(c >> 16));
        }
    out.insert(out.end(), img.pixels.begin(), img.pixels.end());
}

}  // namespace

extern "C" ORNIX_HANDLE LoadTGA(const char* path) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) return nullptr;
    Image img;
    if (!DecodeTga(data, img)) return nullptr;
    return MakeHandle(img);
}

extern "C" int SaveTGA(const char* path, ORNIX_HANDLE image) {
    Image img;
    if (!ReadHandle(image, img)) return 0;
    std::vector<uint8_t> out;
    EncodeTga(img, out);
    return WriteFileAtomic(path, out) ? 1 : 0;
}
