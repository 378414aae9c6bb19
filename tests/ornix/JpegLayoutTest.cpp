// JPEG encoding reads handle rows in place and decoding writes them in place:
// row order, padding and 32-bit layouts must still give the right picture.
#include <gtest/gtest.h>

#include <cstring>

#include "CodecUtil.h"
#include "support/TestEnv.h"

using namespace ornix;
using namespace ornix::test;

namespace {

void Set32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (8 * i));
}

// A handle holding a BMP image of `bits` (24 or 32) built by hand from the
// top-down BGR pixels of `img`; negative height stores rows top-down.
// masks: three bit-field masks (compression 3) or null.
ORNIX_HANDLE HandBuilt(const Image& img, int bits, bool topDown, const uint32_t* masks) {
    const size_t pitch = ((size_t(img.width) * bits + 31) / 32) * 4, off = 54 + (masks ? 12 : 0);
    std::vector<uint8_t> b(off + pitch * img.height, 0xEE);
    std::memset(b.data(), 0, off);
    b[0] = 'B', b[1] = 'M';
    Set32(b, 2, uint32_t(b.size()));
    Set32(b, 10, uint32_t(off));
    Set32(b, 14, 40);
    Set32(b, 18, uint32_t(img.width));
    Set32(b, 22, uint32_t(topDown ? -img.height : img.height));
    b[26] = 1, b[28] = uint8_t(bits);
    Set32(b, 30, masks ? 3 : 0);
    for (int i = 0; masks && i < 3; ++i) Set32(b, 54 + i * 4, masks[i]);
    for (int y = 0; y < img.height; ++y) {
        uint8_t* row = &b[off + pitch * size_t(topDown ? y : img.height - 1 - y)];
        for (int x = 0; x < img.width; ++x) {
            const uint8_t* p = &img.pixels[(size_t(y) * img.width + x) * 3];
            uint8_t* q = row + x * (bits / 8);
            if (bits == 32 && masks && masks[0] == 0xFF) {  // R,G,B,X order
                q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = 0;
            } else {
                std::memcpy(q, p, 3);
                if (bits == 32) q[3] = 0;
            }
        }
    }
    plat::HGLOBAL h = plat::GlobalAlloc(plat::GMEM_MOVEABLE, b.size());
    std::memcpy(plat::GlobalLock(h), b.data(), b.size());
    plat::GlobalUnlock(h);
    return h;
}

}  // namespace

TEST(OrnixJpegLayout, EveryRowOrderAndPixelLayoutEncodesTheSamePicture) {
    tellura::test::ScopedHome home;
    const Image src = Smooth(21, 11);  // 63-byte rows: padded
    const uint32_t bgrx[3] = {0xFF0000, 0xFF00, 0xFF}, rgbx[3] = {0xFF, 0xFF00, 0xFF0000};
    struct Case {
        const char* name;
        int bits;
        bool topDown;
        const uint32_t* masks;
    } cases[] = {{"24 bottom-up", 24, false, nullptr}, {"24 top-down", 24, true, nullptr},
                 {"32 plain", 32, false, nullptr},      {"32 top-down", 32, true, nullptr},
                 {"32 BGRX fields", 32, false, bgrx},   {"32 RGBX fields", 32, false, rgbx}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ORNIX_HANDLE h = HandBuilt(src, c.bits, c.topDown, c.masks);
        const std::string path = home.path("l.jpg");
        ASSERT_EQ(SaveJPG(path.c_str(), h, 100), 1) << GetLastVexilError();
        ORNIX_HANDLE back = LoadJPG(path.c_str());
        ASSERT_NE(back, nullptr);
        EXPECT_LE(MaxDiff(Rgb(back), src), 12);
        plat::GlobalFree(back);
        plat::GlobalFree(h);
    }
}

TEST(OrnixJpegLayout, DecodedHandleIsBottomUpWithZeroPadding) {
    tellura::test::ScopedHome home;
    const Image src = Smooth(7, 5);
    ORNIX_HANDLE h = MakeHandle(src);
    const std::string path = home.path("p.jpg");
    ASSERT_EQ(SaveJPG(path.c_str(), h, 100), 1);
    ORNIX_HANDLE back = LoadJPG(path.c_str());
    ASSERT_NE(back, nullptr);
    const size_t pitch = 24;  // 7 pixels x 3 bytes, padded to 4
    ASSERT_EQ(plat::GlobalSize(back), 54 + pitch * 5);
    auto* p = static_cast<const uint8_t*>(plat::GlobalLock(back));
    EXPECT_EQ(Le32(p + 2), 54 + pitch * 5);
    EXPECT_EQ(Le32(p + 10), 54u);
    EXPECT_EQ(int32_t(Le32(p + 22)), 5);
    EXPECT_EQ(Le16(p + 28), 24);
    for (int y = 0; y < 5; ++y)
        for (size_t i = 21; i < pitch; ++i) EXPECT_EQ(p[54 + pitch * y + i], 0) << "row " << y;
    // The first stored row is the bottom of the picture.
    const uint8_t* bottom = &src.pixels[size_t(4) * 7 * 3];
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[54 + i], bottom[i], 12);
    plat::GlobalUnlock(back);
    plat::GlobalFree(back);
    plat::GlobalFree(h);
}
