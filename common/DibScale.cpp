// CDibImage::Scale: nearest-neighbour scaling of the pixel block in place,
// for 1, 4, 8, 16, 24 and 32 bits per pixel.
#include <cstring>

#include "common/DibImage.h"
#include "common/DibLayout.h"

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
    const int64_t stride = DibStride(bitCount_, newWidth), table = colourTableSize_;
    const size_t imageSize = size_t(stride * newHeight);
    plat::HGLOBAL fresh = plat::GlobalAlloc(plat::GMEM_MOVEABLE | plat::GMEM_ZEROINIT, imageSize + table + kHeaders);
    auto* dst = static_cast<uint8_t*>(plat::GlobalLock(fresh));
    if (!dst) {
        plat::GlobalFree(fresh);
        plat::GlobalUnlock(block_);
        lastError_ = DIB_ERR_ALLOC;
        return false;
    }
    std::memcpy(dst, src, kHeaders + size_t(table));
    // The file size follows the new block, so the block stays a valid BMP file image.
    Put32(dst + 2, uint32_t(kHeaders + table + imageSize));
    Put32(dst + 18, uint32_t(newWidth));
    Put32(dst + 22, uint32_t(newHeight));
    Put32(dst + 34, uint32_t(imageSize));
    Resample(src + kHeaders + table, width_, height_, DibStride(bitCount_, width_), dst + kHeaders + table, newWidth,
             newHeight, stride, bitCount_);
    plat::GlobalUnlock(fresh);
    plat::GlobalUnlock(block_);
    plat::GlobalFree(block_);
    block_ = fresh;
    width_ = newWidth, height_ = newHeight;
    lastError_ = 0;
    return true;
}
