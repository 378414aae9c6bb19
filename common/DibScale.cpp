// CDibImage::Scale: nearest-neighbour scaling of the pixel block in place,
// for 1, 4, 8, 16, 24 and 32 bits per pixel; and the upright turn of a
// picture stored with an EXIF orientation.
#include <cstring>

#include "common/DibImage.h"
#include "common/DibLayout.h"
#include "common/Orientation.h"

using namespace dib;

namespace {

constexpr int64_t kMaxSide = 30000;
constexpr int64_t kMaxPixels = int64_t(1) << 28;

// Pixel x of a row, for 1 bit (most significant bit first) and 4 bits (high nibble first).
unsigned GetSmall(const uint8_t* row, int64_t x, int bits) {
    if (bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    return (x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4;
}
void PutSmall(uint8_t* row, int64_t x, int bits, unsigned v) {
    if (bits == 1) {
        row[x >> 3] |= uint8_t(v << (7 - (x & 7)));
    } else {
        row[x >> 1] |= uint8_t((x & 1) ? v : v << 4);
    }
}

// Fills the destination rows (zeroed beforehand) from the source rows.
// Rows are stored bottom-up; top row y of the picture is stored at height - 1 - y.
void Resample(const uint8_t* src, int64_t sw, int64_t sh, int64_t sstride, uint8_t* dst, int64_t dw, int64_t dh,
              int64_t dstride, int bits) {
    const int bytes = bits / 8;
    for (int64_t y = 0; y < dh; ++y) {
        const int64_t sy = y * sh / dh;
        const uint8_t* in = src + (sh - 1 - sy) * sstride;
        uint8_t* out = dst + (dh - 1 - y) * dstride;
        for (int64_t x = 0; x < dw; ++x) {
            const int64_t sx = x * sw / dw;
            if (bits < 8)
                PutSmall(out, x, bits, GetSmall(in, sx, bits));
            else
                std::memcpy(out + x * bytes, in + sx * bytes, size_t(bytes));
        }
    }
}

// A new zero-filled block for w x h pixels with the headers and colour table
// of src, locked at *dst; null when it cannot be had.
plat::HGLOBAL NewBlockLike(const uint8_t* src, int32_t w, int32_t h, int32_t bits, int64_t table, uint8_t*& dst) {
    const int64_t stride = DibStride(bits, w);
    const size_t imageSize = size_t(stride * h);
    plat::HGLOBAL fresh = plat::GlobalAlloc(plat::GMEM_MOVEABLE | plat::GMEM_ZEROINIT, imageSize + table + kHeaders);
    dst = static_cast<uint8_t*>(plat::GlobalLock(fresh));
    if (!dst) return plat::GlobalFree(fresh);
    std::memcpy(dst, src, kHeaders + size_t(table));
    // The file size follows the new block, so the block stays a valid BMP file image.
    Put32(dst + 2, uint32_t(kHeaders + table + imageSize));
    Put32(dst + 18, uint32_t(w));
    Put32(dst + 22, uint32_t(h));
    Put32(dst + 34, uint32_t(imageSize));
    return fresh;
}

}  // namespace

bool CDibImage::Scale(int32_t newWidth, int32_t newHeight) {
    if (!block_) {
        lastError_ = DIB_ERR_EMPTY;
        return false;
    }
    if (newWidth == width_ && newHeight == height_) return true;
    // A size no block can be made for fails like an allocation would.
    if (newWidth <= 0 || newHeight <= 0 || newWidth > kMaxSide || newHeight > kMaxSide ||
        int64_t(newWidth) * newHeight > kMaxPixels) {
        lastError_ = DIB_ERR_ALLOC;
        return false;
    }
    auto* src = static_cast<const uint8_t*>(plat::GlobalLock(block_));
    if (!src) {
        lastError_ = DIB_ERR_LOCK;
        return false;
    }
    const int64_t table = colourTableSize_;
    uint8_t* dst = nullptr;
    plat::HGLOBAL fresh = NewBlockLike(src, newWidth, newHeight, bitCount_, table, dst);
    if (!fresh) {
        plat::GlobalUnlock(block_);
        lastError_ = DIB_ERR_ALLOC;
        return false;
    }
    Resample(src + kHeaders + table, width_, height_, DibStride(bitCount_, width_), dst + kHeaders + table, newWidth,
             newHeight, DibStride(bitCount_, newWidth), bitCount_);
    plat::GlobalUnlock(fresh);
    plat::GlobalUnlock(block_);
    plat::GlobalFree(block_);
    block_ = fresh;
    width_ = newWidth, height_ = newHeight;
    lastError_ = 0;
    return true;
}

bool CDibImage::TurnUpright(int orientation) {
    if (orientation <= 1 || orientation > 8 || bitCount_ < 8) return orientation <= 1;
    auto* src = static_cast<const uint8_t*>(plat::GlobalLock(block_));
    if (!src) return false;
    const bool swap = orient::SwapsAxes(orientation);
    const int32_t w = swap ? height_ : width_, h = swap ? width_ : height_;
    const int64_t table = colourTableSize_;
    uint8_t* dst = nullptr;
    plat::HGLOBAL fresh = NewBlockLike(src, w, h, bitCount_, table, dst);
    if (!fresh) {
        plat::GlobalUnlock(block_);
        return false;
    }
    // Rows are stored bottom-up: both pictures are walked from their top row.
    const int64_t ss = DibStride(bitCount_, width_), ds = DibStride(bitCount_, w);
    orient::OrientPixels(src + kHeaders + table + (height_ - 1) * ss, width_, height_, bitCount_ / 8, -ss,
                         dst + kHeaders + table + (h - 1) * ds, -ds, orientation);
    plat::GlobalUnlock(fresh);
    plat::GlobalUnlock(block_);
    plat::GlobalFree(block_);
    block_ = fresh;
    width_ = w, height_ = h;
    return true;
}
