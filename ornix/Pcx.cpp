// PCX: reads 1-bit, 2-bit CGA, 4-bit and 4-plane 16-colour, 8-bit with palette and 24-bit
// (three planes), RLE coded; writes 8-bit indexed or 24-bit.
#include <cstring>

#include "ornix/Internal.h"

using namespace ornix;

namespace {


// The 16 colours of the CGA card, as 0xRRGGBB.
constexpr uint32_t kCga[16] = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
                               0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};

// The four colours of a 2-bit picture. Later painting programs store them as
// RGB in the header's colour map; PC Paintbrush stores the CGA settings
// instead: the background colour in the top half of byte 0, and in byte 3 the
// palette (bit 6: cyan-magenta-white, else green-red-brown) and its
// intensity (bit 5). Those files leave the rest of the map empty.
std::vector<uint32_t> CgaPalette(const uint8_t* map) {
    std::vector<uint32_t> pal(4);
    bool rgb = false;
    for (int i = 6; i < 12; ++i) rgb = rgb || map[i] != 0;
    if (rgb) {
        for (int i = 0; i < 4; ++i) pal[i] = (uint32_t(map[i * 3]) << 16) | (uint32_t(map[i * 3 + 1]) << 8) | map[i * 3 + 2];
        return pal;
    }
    const bool white = map[3] & 0x40, bright = map[3] & 0x20;
    const int first = (white ? 3 : 2) + (bright ? 8 : 0);
    pal[0] = kCga[map[0] >> 4];
    pal[1] = kCga[first], pal[2] = kCga[first + 2], pal[3] = kCga[first + 4];
    return pal;
}

// Decodes one scan line of `n` bytes; false when the data ends first.
bool Unrle(const uint8_t*& p, const uint8_t* end, uint8_t* out, size_t n) {
    size_t i = 0;
    while (i < n) {
        if (p >= end) return false;
        uint8_t b = *p++;
        size_t run = 1;
        if ((b & 0xC0) == 0xC0) {
            run = b & 0x3F;
            if (p >= end) return false;
            b = *p++;
        }
        while (run-- && i < n) out[i++] = b;
    }
    return true;
}

bool DecodePcx(const std::vector<uint8_t>& d, Image& img) {
    if (d.size() < 128 || d[0] != 0x0A || d[2] != 1) return SetError(d.size() < 128 ? ORNIX_ERR_TRUNCATED : ORNIX_ERR_NOT_FORMAT), false;
    const int bpp = d[3], planes = d[65];
    const int64_t w = int64_t(Le16(&d[8])) - Le16(&d[4]) + 1, h = int64_t(Le16(&d[10])) - Le16(&d[6]) + 1;
    const size_t bpl = Le16(&d[66]);
    if (!CheckSize(w, h)) return false;
    const bool ok = (bpp == 1 && (planes == 1 || planes == 4)) || ((bpp == 2 || bpp == 4) && planes == 1) || (bpp == 8 && (planes == 1 || planes == 3));
    if (!ok) return SetError(ORNIX_ERR_UNSUPPORTED), false;
    if (bpl * 8 < size_t(w) * bpp) return SetError(ORNIX_ERR_NOT_FORMAT), false;
    // One RLE byte pair yields at most 63 bytes: refuse sizes the file cannot hold before allocating.
    if (uint64_t(d.size() - 128) * 63 / 2 < uint64_t(h) * bpl * planes) return SetError(ORNIX_ERR_TRUNCATED), false;
    img.width = int(w), img.height = int(h);
    // 2-bit pictures travel as 4-bit ones (a handle has no 2-bit rows).
    img.bits = planes == 3 ? 24 : bpp == 1 && planes == 1 ? 1 : planes == 4 || bpp == 2 || bpp == 4 ? 4 : 8;
    const bool rgb = planes == 3;
    img.pixels.assign(size_t(w) * h * (rgb ? 3 : 1), 0);
    if (img.bits == 1) img.palette = {0x000000, 0xFFFFFF};
    if (bpp == 2) img.palette = CgaPalette(&d[16]), img.palette.resize(16, 0);
    else if (img.bits == 4)
        for (int i = 0; i < 16; ++i) img.palette.push_back((uint32_t(d[16 + i * 3]) << 16) | (uint32_t(d[17 + i * 3]) << 8) | d[18 + i * 3]);
    std::vector<uint8_t> line(bpl * planes);
    const uint8_t* p = d.data() + 128;
    const uint8_t* end = d.data() + d.size();
    for (int y = 0; y < h; ++y) {
        if (!Unrle(p, end, line.data(), line.size())) return SetError(ORNIX_ERR_TRUNCATED), false;
        for (int x = 0; x < w; ++x) {
            if (rgb) {
                uint8_t* o = &img.pixels[(size_t(y) * w + x) * 3];
                o[2] = line[x], o[1] = line[bpl + x], o[0] = line[2 * bpl + x];
            } else if (bpp == 8) {
                img.pixels[size_t(y) * w + x] = line[x];
            } else if (planes == 1 && bpp > 1) {
                const size_t bit = size_t(x) * bpp;
                img.pixels[size_t(y) * w + x] = uint8_t((line[bit / 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1));
            } else {
                uint8_t v = 0;
                for (int pl = 0; pl < planes; ++pl) v |= uint8_t(((line[pl * bpl + x / 8] >> (7 - x % 8)) & 1) << pl);
                img.pixels[size_t(y) * w + x] = v;
            }
        }
    }
    if (img.bits == 8) {
        if (d.size() < 769 || d[d.size() - 769] != 0x0C) return SetError(ORNIX_ERR_TRUNCATED), false;
        const uint8_t* pal = &d[d.size() - 768];
        for (int i = 0; i < 256; ++i) img.palette.push_back((uint32_t(pal[i * 3]) << 16) | (uint32_t(pal[i * 3 + 1]) << 8) | pal[i * 3 + 2]);
    }
    return true;
}

void PutRle(std::vector<uint8_t>& out, const uint8_t* s, size_t n) {
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        while (i + run < n && run < 63 && s[i + run] == s[i]) ++run;
        if (run > 1 || (s[i] & 0xC0) == 0xC0) out.push_back(uint8_t(0xC0 | run));
        out.push_back(s[i]);
        i += run;
    }
}

void EncodePcx(const Image& img, std::vector<uint8_t>& out) {
    const bool rgb = !img.Indexed();
    const int planes = rgb ? 3 : 1;
    const size_t bpl = (size_t(img.width) + 1) & ~size_t(1);
    out.assign(128, 0);
    out[0] = 0x0A, out[1] = 5, out[2] = 1, out[3] = 8;
    auto put16 = [&](size_t at, int v) { out[at] = uint8_t(v), out[at + 1] = uint8_t(v >> 8); };
    put16(8, img.width - 1), put16(10, img.height - 1), put16(12, 72), put16(14, 72);
    out[65] = uint8_t(planes);
    put16(66, int(bpl));
    put16(68, 1);
    std::vector<uint8_t> line(bpl * planes, 0);
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            if (rgb) {
                const uint8_t* s = &img.pixels[(size_t(y) * img.width + x) * 3];
                line[x] = s[2], line[bpl + x] = s[1], line[2 * bpl + x] = s[0];
            } else {
                line[x] = img.pixels[size_t(y) * img.width + x];
            }
        }
        for (int pl = 0; pl < planes; ++pl) PutRle(out, &line[pl * bpl], bpl);
    }
    if (rgb) return;
    out.push_back(0x0C);
    for (int i = 0; i < 256; ++i) {
        uint32_t c = i < int(img.palette.size()) ? img.palette[i] : 0;
        out.push_back(uint8_t(c >> 16)), out.push_back(uint8_t(c >> 8)), out.push_back(uint8_t(c));
    }
}

}  // namespace

extern "C" ORNIX_HANDLE LoadPCX(const char* path) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) return nullptr;
    Image img;
    if (!DecodePcx(data, img)) return nullptr;
    return MakeHandle(img);
}

extern "C" int SavePCX(const char* path, ORNIX_HANDLE image) {
    Image img;
    if (!ReadHandle(image, img)) return 0;
    std::vector<uint8_t> out;
    EncodePcx(img, out);
    return WriteFileAtomic(path, out) ? 1 : 0;
}
