// BMP file images in memory: building image handles and parsing them, and the
// BMP file reader and writer on top of that.
#include <cstring>

#include "ornix/Internal.h"
#include "platform/GlobalMemory.h"

namespace ornix {
namespace {

size_t RowBytes(int width, int bits) { return ((size_t(width) * bits + 31) / 32) * 4; }

void PackRow(const Image& img, int y, uint8_t* out) {
    const int w = img.width;
    if (img.Indexed()) {
        const uint8_t* src = &img.pixels[size_t(y) * w];
        const int bits = img.bits;
        const int perByte = 8 / bits;
        for (int x = 0; x < w; ++x) {
            int shift = 8 - bits * (x % perByte + 1);
            out[x / perByte] |= uint8_t((src[x] & ((1 << bits) - 1)) << shift);
        }
        return;
    }
    const uint8_t* src = &img.pixels[size_t(y) * w * 3];
    for (int x = 0; x < w; ++x, src += 3) {
        if (img.bits == 24) {
            std::memcpy(out + x * 3, src, 3);
        } else if (img.bits == 32) {
            std::memcpy(out + x * 4, src, 3);
        } else {
            uint16_t v = uint16_t(((src[2] >> 3) << 10) | ((src[1] >> 3) << 5) | (src[0] >> 3));
            out[x * 2] = uint8_t(v);
            out[x * 2 + 1] = uint8_t(v >> 8);
        }
    }
}

// Header bytes (file header, info header, colour table) for an image.
std::vector<uint8_t> BuildHeader(const Image& img, size_t imageSize) {
    const uint32_t colours = img.Indexed() ? (1u << img.bits) : 0;
    const uint32_t offBits = 54 + colours * 4;
    std::vector<uint8_t> h;
    h.reserve(offBits);
    h.push_back('B');
    h.push_back('M');
    Put32(h, uint32_t(offBits + imageSize));
    Put32(h, 0);
    Put32(h, offBits);
    Put32(h, 40);
    Put32(h, uint32_t(img.width));
    Put32(h, uint32_t(img.height));
    Put16(h, 1);
    Put16(h, uint16_t(img.bits));
    Put32(h, 0);
    Put32(h, uint32_t(imageSize));
    Put32(h, 2835);
    Put32(h, 2835);
    Put32(h, colours);
    Put32(h, 0);
    for (uint32_t i = 0; i < colours; ++i) Put32(h, i < img.palette.size() ? (img.palette[i] & 0xFFFFFFu) : 0);
    return h;
}

bool ValidBits(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Serialises an image as a BMP file image into `out` (which must hold `total` bytes).
void Serialise(const Image& img, uint8_t* out, const std::vector<uint8_t>& header, size_t row) {
    std::memcpy(out, header.data(), header.size());
    uint8_t* bits = out + header.size();
    std::memset(bits, 0, row * img.height);
    for (int y = 0; y < img.height; ++y) PackRow(img, y, bits + size_t(img.height - 1 - y) * row);
}

bool Prepare(const Image& img, std::vector<uint8_t>& header, size_t& row) {
    if (!ValidBits(img.bits) || !CheckSize(img.width, img.height)) {
        SetError(ORNIX_ERR_BAD_HANDLE);
        return false;
    }
    size_t need = size_t(img.width) * img.height * (img.Indexed() ? 1 : 3);
    if (img.pixels.size() < need) {
        SetError(ORNIX_ERR_BAD_HANDLE);
        return false;
    }
    row = RowBytes(img.width, img.bits);
    header = BuildHeader(img, row * img.height);
    return true;
}

}  // namespace

ORNIX_HANDLE MakeHandle(const Image& img) {
    std::vector<uint8_t> header;
    size_t row = 0;
    if (!Prepare(img, header, row)) return nullptr;
    plat::HGLOBAL h = plat::GlobalAlloc(plat::GMEM_MOVEABLE, header.size() + row * img.height);
    if (!h) {
        SetError(ORNIX_ERR_NO_MEMORY);
        return nullptr;
    }
    Serialise(img, static_cast<uint8_t*>(plat::GlobalLock(h)), header, row);
    plat::GlobalUnlock(h);
    return h;
}

ORNIX_HANDLE AllocHandle(int width, int height, int bits, uint8_t*& rows, size_t& pitch) {
    Image shape;
    shape.width = width, shape.height = height, shape.bits = bits;
    if (bits <= 8 || !ValidBits(bits) || !CheckSize(width, height)) {
        SetError(ORNIX_ERR_BAD_HANDLE);
        return nullptr;
    }
    pitch = RowBytes(width, bits);
    const std::vector<uint8_t> header = BuildHeader(shape, pitch * height);
    plat::HGLOBAL h = plat::GlobalAlloc(plat::GMEM_MOVEABLE, header.size() + pitch * height);
    if (!h) {
        SetError(ORNIX_ERR_NO_MEMORY);
        return nullptr;
    }
    auto* p = static_cast<uint8_t*>(plat::GlobalLock(h));
    std::memcpy(p, header.data(), header.size());
    rows = p + header.size();
    return h;
}

bool EncodeBmp(const Image& img, std::vector<uint8_t>& out) {
    std::vector<uint8_t> header;
    size_t row = 0;
    if (!Prepare(img, header, row)) return false;
    out.resize(header.size() + row * img.height);
    Serialise(img, out.data(), header, row);
    return true;
}

bool ReadHandle(ORNIX_HANDLE h, Image& img) {
    size_t size = plat::GlobalSize(h);
    auto* p = static_cast<const uint8_t*>(plat::GlobalLock(h));
    if (!p) {
        SetError(ORNIX_ERR_BAD_HANDLE);
        return false;
    }
    bool ok = DecodeBmp(p, size, img);
    plat::GlobalUnlock(h);
    if (!ok) SetError(ORNIX_ERR_BAD_HANDLE);
    return ok;
}

bool ReadHandleRgb(ORNIX_HANDLE h, Image& img) {
    if (!ReadHandle(h, img)) return false;
    if (img.Indexed()) {
        std::vector<uint8_t> rgb(img.pixels.size() * 3);
        for (size_t i = 0; i < img.pixels.size(); ++i) {
            uint32_t c = img.pixels[i] < img.palette.size() ? img.palette[img.pixels[i]] : 0;
            rgb[i * 3] = uint8_t(c);
            rgb[i * 3 + 1] = uint8_t(c >> 8);
            rgb[i * 3 + 2] = uint8_t(c >> 16);
        }
        img.pixels.swap(rgb);
        img.palette.clear();
    }
    img.bits = 24;
    return true;
}

}  // namespace ornix

using namespace ornix;

extern "C" ORNIX_HANDLE LoadBMP(const char* path) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) return nullptr;
    Image img;
    if (!DecodeBmp(data.data(), data.size(), img)) return nullptr;
    return MakeHandle(img);
}

extern "C" int SaveBMP(const char* path, ORNIX_HANDLE image) {
    Image img;
    std::vector<uint8_t> out;
    if (!ReadHandle(image, img) || !EncodeBmp(img, out)) return 0;
    return WriteFileAtomic(path, out) ? 1 : 0;
}
