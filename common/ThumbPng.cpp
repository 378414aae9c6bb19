// The thumbnail cache's PNG code: chunk walk with CRC checks, zlib streams
// through libdeflate (whole buffers, far quicker than zlib's streaming
// inflate), the five row filters undone in place.
#include "common/ThumbPng.h"

#include <glib.h>
#include <libdeflate.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace thumbs::png {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

void PutBe32(std::vector<uint8_t>& v, uint32_t x) {
    const uint8_t b[4] = {uint8_t(x >> 24), uint8_t(x >> 16), uint8_t(x >> 8), uint8_t(x)};
    v.insert(v.end(), b, b + 4);
}

bool Is(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

// A keyword as PNG allows it and libpng accepts it unchanged: printable
// ASCII, no space at either end and no two together.
bool PlainKeyword(const uint8_t* k, size_t n) {
    if (n < 1 || n > 79 || k[0] == ' ' || k[n - 1] == ' ') return false;
    for (size_t i = 0; i < n; ++i)
        if (k[i] < 0x20 || k[i] > 0x7E || (k[i] == ' ' && k[i + 1] == ' ')) return false;
    return true;
}

// One tEXt chunk into the texts; false where the general decoder's reading
// could differ (a keyword it would change, a NUL inside the text).
bool ReadText(const uint8_t* p, size_t n, Entry& out) {
    const auto* nul = static_cast<const uint8_t*>(std::memchr(p, 0, n));
    if (!nul || !PlainKeyword(p, size_t(nul - p))) return false;
    const uint8_t* t = nul + 1;
    const size_t len = n - size_t(t - p);
    if (std::memchr(t, 0, len)) return false;
    std::string value;
    value.reserve(len);
    for (size_t i = 0; i < len; ++i) {
        if (t[i] < 0x80) {
            value += char(t[i]);
        } else {  // Latin-1 to UTF-8
            value += char(0xC0 | t[i] >> 6);
            value += char(0x80 | (t[i] & 0x3F));
        }
    }
    out.text.emplace(std::string(reinterpret_cast<const char*>(p), size_t(nul - p)), std::move(value));
    return true;
}

int Paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes one row's filter in place; `up` is the row above as decoded, zeros
// for the first. N bytes a pixel.
template <size_t N>
bool Unfilter(uint8_t type, uint8_t* row, const uint8_t* up, size_t n) {
    switch (type) {
    case 0: return true;
    case 1:
        for (size_t i = N; i < n; ++i) row[i] = uint8_t(row[i] + row[i - N]);
        return true;
    case 2:
        for (size_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + up[i]);
        return true;
    case 3:
        for (size_t i = 0; i < N; ++i) row[i] = uint8_t(row[i] + (up[i] >> 1));
        for (size_t i = N; i < n; ++i) row[i] = uint8_t(row[i] + ((row[i - N] + up[i]) >> 1));
        return true;
    case 4:
        for (size_t i = 0; i < N; ++i) row[i] = uint8_t(row[i] + up[i]);
        for (size_t i = N; i < n; ++i) row[i] = uint8_t(row[i] + Paeth(row[i - N], up[i], up[i - N]));
        return true;
    default: return false;
    }
}

struct Decompressor {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
struct Compressor {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// The image data inflated to exactly h rows of 1 + w * N bytes, filters
// undone, kept as RGB.
template <size_t N>
bool Pixels(const std::vector<uint8_t>& z, Entry& out) {
    const size_t row = size_t(out.width) * N, stride = row + 1;
    // Deflate expands at most about 1032 times: less data cannot fill the picture.
    if (z.size() * 1032 < stride * size_t(out.height)) return false;
    std::vector<uint8_t> raw(stride * size_t(out.height));
    std::unique_ptr<libdeflate_decompressor, Decompressor> dec(libdeflate_alloc_decompressor());
    if (!dec || libdeflate_zlib_decompress(dec.get(), z.data(), z.size(), raw.data(), raw.size(), nullptr) !=
                    LIBDEFLATE_SUCCESS)
        return false;
    const std::vector<uint8_t> zeros(row, 0);
    out.rgb.resize(size_t(out.width) * size_t(out.height) * 3);
    for (size_t y = 0; y < size_t(out.height); ++y) {
        uint8_t* r = &raw[y * stride];
        if (!Unfilter<N>(r[0], r + 1, y ? r + 1 - stride : zeros.data(), row)) return false;
        uint8_t* to = &out.rgb[y * size_t(out.width) * 3];
        if (N == 3) {
            std::memcpy(to, r + 1, row);
            continue;
        }
        for (size_t x = 0; x < size_t(out.width); ++x) std::memcpy(to + x * 3, r + 1 + x * N, 3);
    }
    return true;
}

void PutChunk(std::vector<uint8_t>& v, const char* type, const uint8_t* data, size_t n) {
    PutBe32(v, uint32_t(n));
    const size_t start = v.size();
    v.insert(v.end(), type, type + 4);
    if (n) v.insert(v.end(), data, data + n);
    PutBe32(v, libdeflate_crc32(0, &v[start], n + 4));
}

// UTF-8 as Latin-1 where every character has a byte there; false when one
// has not, or the text is not UTF-8 (then `utf8ok` tells which).
bool ToLatin1(const std::string& s, std::string& latin, bool& utf8ok) {
    utf8ok = g_utf8_validate_len(s.data(), s.size(), nullptr);
    if (!utf8ok) return false;
    latin.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = uint8_t(s[i]);
        if (c < 0x80) {
            latin += char(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < s.size()) {
            latin += char((c & 0x03) << 6 | (uint8_t(s[++i]) & 0x3F));
        } else {
            return false;
        }
    }
    return true;
}

bool PutText(std::vector<uint8_t>& v, const std::string& key, const std::string& text) {
    if (!PlainKeyword(reinterpret_cast<const uint8_t*>(key.data()), key.size()) ||
        text.find('\0') != std::string::npos)
        return false;
    std::string latin;
    bool utf8ok = false;
    std::string data = key + '\0';
    if (ToLatin1(text, latin, utf8ok)) {
        data += latin;
        PutChunk(v, "tEXt", reinterpret_cast<const uint8_t*>(data.data()), data.size());
        return true;
    }
    if (!utf8ok) return false;
    // Not compressed, no language, no translated keyword.
    data += std::string("\0\0\0\0", 4) + text;
    PutChunk(v, "iTXt", reinterpret_cast<const uint8_t*>(data.data()), data.size());
    return true;
}

}  // namespace

bool DecodePlain(const uint8_t* d, size_t size, Entry& out) {
    constexpr size_t kFirst = 8 + 25;  // after the signature and the header chunk
    if (size < kFirst || std::memcmp(d, kSignature, 8) != 0 || Be32(d + 8) != 13 || !Is(d + 12, "IHDR") ||
        libdeflate_crc32(0, d + 12, 17) != Be32(d + 29))
        return false;
    const uint8_t* ihdr = d + 16;
    const uint32_t w = Be32(ihdr), h = Be32(ihdr + 4);
    if (w == 0 || h == 0 || uint64_t(w) * h > (uint64_t(1) << 26) || ihdr[8] != 8 || (ihdr[9] != 2 && ihdr[9] != 6) ||
        ihdr[10] != 0 || ihdr[11] != 0 || ihdr[12] != 0)
        return false;
    out = Entry{};
    out.width = int(w), out.height = int(h);
    std::vector<uint8_t> z;
    bool inData = false, afterData = false;
    for (size_t at = kFirst;;) {
        if (size - at < 12 || Be32(d + at) > size - at - 12) return false;
        const size_t n = Be32(d + at);
        const uint8_t* type = d + at + 4;
        const uint8_t* p = type + 4;
        if (libdeflate_crc32(0, type, n + 4) != Be32(p + n)) return false;
        at += 12 + n;
        if (Is(type, "IEND")) break;
        if (Is(type, "IDAT")) {
            if (afterData) return false;  // image data in pieces apart
            inData = true;
            z.insert(z.end(), p, p + n);
            continue;
        }
        afterData = afterData || inData;
        if (Is(type, "tEXt") || Is(type, "zTXt") || Is(type, "iTXt")) {
            if (afterData || !Is(type, "tEXt") || !ReadText(p, n, out)) return false;
        } else if (!(type[0] & 0x20) && !Is(type, "PLTE")) {
            return false;  // a critical chunk this reader does not take
        }
    }
    if (z.empty()) return false;
    return ihdr[9] == 2 ? Pixels<3>(z, out) : Pixels<4>(z, out);
}

bool Encode(int width, int height, const uint8_t* rgb, const std::vector<std::pair<std::string, std::string>>& text,
            std::vector<uint8_t>& out) {
    if (width <= 0 || height <= 0) return false;
    out.assign(kSignature, kSignature + 8);
    std::vector<uint8_t> ihdr;
    PutBe32(ihdr, uint32_t(width));
    PutBe32(ihdr, uint32_t(height));
    const uint8_t rest[5] = {8, 2, 0, 0, 0};  // 8 bits, RGB, deflate, adaptive filters, no interlace
    ihdr.insert(ihdr.end(), rest, rest + 5);
    PutChunk(out, "IHDR", ihdr.data(), ihdr.size());
    for (const auto& [key, value] : text)
        if (!PutText(out, key, value)) return false;
    // Every row filtered by the row above: undone with one addition a byte.
    const size_t row = size_t(width) * 3, stride = row + 1;
    std::vector<uint8_t> raw(stride * size_t(height));
    for (size_t y = 0; y < size_t(height); ++y) {
        uint8_t* r = &raw[y * stride];
        const uint8_t* src = rgb + y * row;
        r[0] = y ? 2 : 0;
        for (size_t i = 0; i < row; ++i) r[1 + i] = y ? uint8_t(src[i] - src[i - row]) : src[i];
    }
    // Level 3: close to the size of zlib's default at a fraction of the time.
    std::unique_ptr<libdeflate_compressor, Compressor> comp(libdeflate_alloc_compressor(3));
    if (!comp) return false;
    std::vector<uint8_t> z(libdeflate_zlib_compress_bound(comp.get(), raw.size()));
    z.resize(libdeflate_zlib_compress(comp.get(), raw.data(), raw.size(), z.data(), z.size()));
    if (z.empty()) return false;
    PutChunk(out, "IDAT", z.data(), z.size());
    PutChunk(out, "IEND", nullptr, 0);
    return true;
}

}  // namespace thumbs::png
