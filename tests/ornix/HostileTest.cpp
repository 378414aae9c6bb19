// Bad input: truncated, lying, overrunning and oversized files fail cleanly.
#include <gtest/gtest.h>

#include "CodecUtil.h"
#include "support/TestEnv.h"

using namespace ornix;
using namespace ornix::test;

namespace {

using Loader = ORNIX_HANDLE (*)(const char*);
const Loader kLoaders[] = {LoadBMP, LoadGIF, LoadPCX, LoadTGA, LoadJPG, LoadTIF};

std::string Write(tellura::test::ScopedHome& home, const std::string& name, const std::vector<uint8_t>& d) {
    std::string p = home.path(name);
    tellura::test::WriteFile(p, std::string(d.begin(), d.end()));
    return p;
}

void Put32At(std::vector<uint8_t>& d, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d.at(at + i) = uint8_t(v >> (8 * i));
}

}  // namespace

TEST(OrnixHostile, MissingEmptyAndWrongFiles) {
    tellura::test::ScopedHome home;
    std::string none = home.path("none.bmp"), empty = Write(home, "empty", {});
    for (Loader load : kLoaders) {
        EXPECT_EQ(load(none.c_str()), nullptr);
        EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_NO_FILE);
        EXPECT_EQ(load(empty.c_str()), nullptr);
        EXPECT_EQ(load(nullptr), nullptr);
    }
    EXPECT_EQ(FileType(empty.c_str()), ORNIX_TYPE_NONE);
    EXPECT_EQ(FileType(none.c_str()), ORNIX_TYPE_NONE);
    std::string text = Write(home, "t.jpg", Bytes("hello, not a picture at all"));
    EXPECT_EQ(FileType(text.c_str()), ORNIX_TYPE_NONE);
    EXPECT_EQ(LoadJPG(text.c_str()), nullptr);
    EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_NOT_FORMAT);
}

TEST(OrnixHostile, EveryTruncationOfEveryFormatFailsOrLoads) {
    tellura::test::ScopedHome home;
    ORNIX_HANDLE h = MakeHandle(Pattern(9, 5, 24));
    const char* exts[] = {"bmp", "gif", "pcx", "tga", "jpg", "tif"};
    int (*savers[])(const char*, ORNIX_HANDLE) = {SaveBMP, SaveGIF, SavePCX, SaveTGA, [](const char* p, ORNIX_HANDLE i) { return SaveJPG(p, i, 80); }, SaveTIF};
    for (int f = 0; f < 6; ++f) {
        std::string full = home.path(std::string("full.") + exts[f]);
        ASSERT_EQ(savers[f](full.c_str(), h), 1);
        std::string data = tellura::test::ReadFile(full);
        for (size_t len = 0; len < data.size(); len += 1 + data.size() / 97) {
            std::string cut = Write(home, "cut", std::vector<uint8_t>(data.begin(), data.begin() + long(len)));
            ORNIX_HANDLE got = kLoaders[f](cut.c_str());
            if (got) {
                Image img = Rgb(got);  // whatever loaded must be a well-formed image
                EXPECT_EQ(img.width, 9);
                plat::GlobalFree(got);
            }
        }
    }
    plat::GlobalFree(h);
}

TEST(OrnixHostile, BmpHeadersThatLie) {
    tellura::test::ScopedHome home;
    std::string full = home.path("f.bmp");
    ORNIX_HANDLE h = MakeHandle(Pattern(8, 8, 8));
    ASSERT_EQ(SaveBMP(full.c_str(), h), 1);
    plat::GlobalFree(h);
    std::vector<uint8_t> good = Bytes(tellura::test::ReadFile(full));

    auto load = [&](std::vector<uint8_t> d) { return LoadBMP(Write(home, "l.bmp", d).c_str()); };
    auto huge = good;
    Put32At(huge, 18, 30001);
    EXPECT_EQ(load(huge), nullptr);
    EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_TOO_LARGE);
    Put32At(huge, 18, 20000);
    Put32At(huge, 22, 20000);  // 4e8 pixels, above 2^28
    EXPECT_EQ(load(huge), nullptr);
    EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_TOO_LARGE);
    auto tall = good;
    Put32At(tall, 22, 4000);  // rows claimed that the file does not hold
    EXPECT_EQ(load(tall), nullptr);
    EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_TRUNCATED);
    auto off = good;
    Put32At(off, 10, 0xFFFFFFF0u);
    EXPECT_EQ(load(off), nullptr);
    auto info = good;
    Put32At(info, 14, 0x7FFFFFFF);
    EXPECT_EQ(load(info), nullptr);
    auto bits = good;
    bits[28] = 7;
    EXPECT_EQ(load(bits), nullptr);
    EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_UNSUPPORTED);
    auto zero = good;
    Put32At(zero, 18, 0);
    EXPECT_EQ(load(zero), nullptr);
}

TEST(OrnixHostile, RleThatOverrunsStaysInBounds) {
    tellura::test::ScopedHome home;
    // 4x2 RLE8 image whose runs and deltas point far outside it.
    std::vector<uint8_t> d = {'B', 'M'};
    d.resize(54 + 1024, 0);
    Put32At(d, 10, 54 + 1024);
    Put32At(d, 14, 40);
    Put32At(d, 18, 4);
    Put32At(d, 22, 2);
    d[26] = 1, d[28] = 8, d[30] = 1;
    const uint8_t rle[] = {255, 7, 0, 2, 200, 200, 255, 3, 0, 0, 0, 9, 1, 2, 3, 0, 0};  // literal run cut short
    d.insert(d.end(), rle, rle + sizeof rle);
    ORNIX_HANDLE got = LoadBMP(Write(home, "rle.bmp", d).c_str());
    ASSERT_NE(got, nullptr);
    Image img;
    ASSERT_TRUE(ReadHandle(got, img));
    EXPECT_EQ(img.pixels[4], 7);  // bottom row filled from the first run
    plat::GlobalFree(got);
}

TEST(OrnixHostile, OtherFormatsRefuseHugeDimensions) {
    tellura::test::ScopedHome home;
    std::vector<uint8_t> gif = Bytes("GIF89a");
    gif.insert(gif.end(), {0x40, 0x9C, 0x40, 0x9C, 0, 0, 0});  // 40000 x 40000
    EXPECT_EQ(LoadGIF(Write(home, "h.gif", gif).c_str()), nullptr);
    EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_TOO_LARGE);
    std::vector<uint8_t> tga(18, 0);
    tga[2] = 2, tga[12] = 0x30, tga[13] = 0x75, tga[14] = 0x30, tga[15] = 0x75, tga[16] = 24;  // 30000 x 30000
    EXPECT_EQ(LoadTGA(Write(home, "h.tga", tga).c_str()), nullptr);
    EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_TOO_LARGE);
    std::vector<uint8_t> pcx(128, 0);
    pcx[0] = 0x0A, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[8] = 0xFF, pcx[9] = 0xFF, pcx[65] = 1;
    EXPECT_EQ(LoadPCX(Write(home, "h.pcx", pcx).c_str()), nullptr);
    EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_TOO_LARGE);
}

// Within the size limits, a small file that declares a huge picture is
// refused before the picture's memory is taken (it would be gigabytes).
TEST(OrnixHostile, TinyFilesDeclaringHugePicturesAreRefused) {
    tellura::test::ScopedHome home;
    std::string jpg = home.path("small.jpg");
    ORNIX_HANDLE h = MakeHandle(Pattern(16, 16, 24));
    ASSERT_EQ(SaveJPG(jpg.c_str(), h, 90), 1);
    plat::GlobalFree(h);
    std::vector<uint8_t> d = Bytes(tellura::test::ReadFile(jpg));
    for (size_t i = 2; i + 9 < d.size(); ++i)
        if (d[i] == 0xFF && d[i + 1] == 0xC0) d[i + 5] = d[i + 7] = 0x3E, d[i + 6] = d[i + 8] = 0x80;  // 16000 x 16000
    EXPECT_EQ(LoadJPG(Write(home, "huge.jpg", d).c_str()), nullptr);
    EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_TRUNCATED);
    std::vector<uint8_t> gif = Bytes("GIF89a");
    gif.insert(gif.end(), {0x20, 0x4E, 0x10, 0x27, 0, 0, 0, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3B});  // 20000 x 10000
    EXPECT_EQ(LoadGIF(Write(home, "huge.gif", gif).c_str()), nullptr);
    EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_TRUNCATED);
}
