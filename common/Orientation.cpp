// EXIF orientation reading and the upright turn of a picture's pixels.
#include "common/Orientation.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace orient {
namespace {

// The start of a file holds the metadata: APP1 blocks are at most 64 KB, and
// the Exif block comes first or after a JFIF header and a colour profile.
constexpr size_t kHeadBytes = 256 * 1024;

struct Tiff {
    const uint8_t* d;
    size_t n;
    bool little;
    uint32_t U16(size_t at) const {
        return little ? uint32_t(d[at] | d[at + 1] << 8) : uint32_t(d[at] << 8 | d[at + 1]);
    }
    uint32_t U32(size_t at) const {
        return little ? uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 | uint32_t(d[at + 3]) << 24
                      : uint32_t(d[at]) << 24 | uint32_t(d[at + 1]) << 16 | uint32_t(d[at + 2]) << 8 | uint32_t(d[at + 3]);
    }
};

// Tag 0x0112 in the first image directory of a TIFF-structured block.
int TiffOrientation(const uint8_t* d, size_t n) {
    if (n < 8) return 1;
    Tiff t{d, n, d[0] == 'I' && d[1] == 'I'};
    if (!t.little && !(d[0] == 'M' && d[1] == 'M')) return 1;
    if (t.U16(2) != 42) return 1;
    const uint64_t dir = t.U32(4);
    if (dir + 2 > n) return 1;
    const uint32_t count = t.U16(size_t(dir));
    for (uint64_t k = 0; k < count; ++k) {
        const uint64_t e = dir + 2 + 12 * k;
        if (e + 12 > n) return 1;
        if (t.U16(size_t(e)) != 0x0112) continue;
        const uint32_t type = t.U16(size_t(e + 2)), values = t.U32(size_t(e + 4));
        if (values != 1) return 1;
        // SHORT as the standard says; LONG from writers that got it wrong.
        const uint32_t v = type == 3 ? t.U16(size_t(e + 8)) : type == 4 ? t.U32(size_t(e + 8)) : 0;
        return v >= 1 && v <= 8 ? int(v) : 1;
    }
    return 1;
}

// Copies the pixels in tiles, so the reads of a quarter turn stay in cache.
template <int B>
void CopyTiles(const uint8_t* origin, ptrdiff_t dx, ptrdiff_t dy, int ow, int oh, uint8_t* dst, ptrdiff_t ds) {
    constexpr int kTile = 64;
    for (int ty = 0; ty < oh; ty += kTile)
        for (int tx = 0; tx < ow; tx += kTile) {
            const int ey = std::min(oh, ty + kTile), ex = std::min(ow, tx + kTile);
            for (int y = ty; y < ey; ++y) {
                const uint8_t* s = origin + ptrdiff_t(y) * dy + ptrdiff_t(tx) * dx;
                uint8_t* o = dst + ptrdiff_t(y) * ds + ptrdiff_t(tx) * B;
                for (int x = tx; x < ex; ++x) {
                    std::memcpy(o, s, B);
                    o += B;
                    if (x + 1 < ex) s += dx;
                }
            }
        }
}

}  // namespace

int JpegOrientation(const uint8_t* d, size_t n) {
    if (!d || n < 4 || d[0] != 0xFF || d[1] != 0xD8) return 1;
    size_t i = 2;
    while (i + 4 <= n) {
        if (d[i] != 0xFF) return 1;
        const uint8_t m = d[i + 1];
        if (m == 0xFF) {  // fill byte before a marker
            ++i;
            continue;
        }
        if (m == 0x01 || (m >= 0xD0 && m <= 0xD8)) {  // markers without a length
            i += 2;
            continue;
        }
        if (m == 0xDA || m == 0xD9) return 1;  // the picture data: no metadata follows
        const size_t len = size_t(d[i + 2]) << 8 | d[i + 3];
        if (len < 2) return 1;
        if (m == 0xE1) {
            // The block as far as it is present; a cut block is read safely.
            const size_t body = std::min(len - 2, n - (i + 4));
            const uint8_t* b = d + i + 4;
            if (body >= 6 && std::memcmp(b, "Exif\0\0", 6) == 0) return TiffOrientation(b + 6, body - 6);
        }
        i += 2 + len;
    }
    return 1;
}

int JpegFileOrientation(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 1;
    std::vector<uint8_t> head(kHeadBytes);
    size_t used = 0;
    while (used < head.size()) {
        const ssize_t got = ::read(fd, head.data() + used, head.size() - used);
        if (got <= 0) break;
        used += size_t(got);
    }
    ::close(fd);
    return JpegOrientation(head.data(), used);
}

void OrientPixels(const uint8_t* src, int w, int h, int bpp, ptrdiff_t ss, uint8_t* dst, ptrdiff_t ds, int o) {
    if (w <= 0 || h <= 0 || bpp < 1 || bpp > 4) return;
    // The source pixel shown at the top left, and the source steps for one
    // pixel to the right and one row down in the upright picture.
    auto at = [&](int x, int y) { return src + ptrdiff_t(y) * ss + ptrdiff_t(x) * bpp; };
    const ptrdiff_t px = bpp;
    const uint8_t* origin = src;
    ptrdiff_t dx = px, dy = ss;
    switch (o) {
    case 2: origin = at(w - 1, 0), dx = -px, dy = ss; break;
    case 3: origin = at(w - 1, h - 1), dx = -px, dy = -ss; break;
    case 4: origin = at(0, h - 1), dx = px, dy = -ss; break;
    case 5: origin = at(0, 0), dx = ss, dy = px; break;
    case 6: origin = at(0, h - 1), dx = -ss, dy = px; break;
    case 7: origin = at(w - 1, h - 1), dx = -ss, dy = -px; break;
    case 8: origin = at(w - 1, 0), dx = ss, dy = -px; break;
    default: break;
    }
    const int ow = SwapsAxes(o) ? h : w, oh = SwapsAxes(o) ? w : h;
    switch (bpp) {
    case 1: CopyTiles<1>(origin, dx, dy, ow, oh, dst, ds); break;
    case 2: CopyTiles<2>(origin, dx, dy, ow, oh, dst, ds); break;
    case 3: CopyTiles<3>(origin, dx, dy, ow, oh, dst, ds); break;
    default: CopyTiles<4>(origin, dx, dy, ow, oh, dst, ds); break;
    }
}

}  // namespace orient
