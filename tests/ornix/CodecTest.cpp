// Round trips through every format and bit count, and cross-checks against
// ImageMagick in both directions.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "CodecUtil.h"
#include "support/TestEnv.h"

using namespace ornix;
using namespace ornix::test;

namespace {

struct Format {
    const char* ext;
    int type;
    ORNIX_HANDLE (*load)(const char*);
    int (*save)(const char*, ORNIX_HANDLE);
};

int SaveJpg100(const char* p, ORNIX_HANDLE h) { return SaveJPG(p, h, 100); }

const Format kFormats[] = {
    {"bmp", ORNIX_TYPE_BMP, LoadBMP, SaveBMP}, {"gif", ORNIX_TYPE_GIF, LoadGIF, SaveGIF},
    {"pcx", ORNIX_TYPE_PCX, LoadPCX, SavePCX}, {"tga", ORNIX_TYPE_TGA, LoadTGA, SaveTGA},
    {"jpg", ORNIX_TYPE_JPEG, LoadJPG, SaveJpg100}, {"tif", ORNIX_TYPE_TIFF, LoadTIF, SaveTIF},
};

bool Lossy(const Format& f) { return f.type == ORNIX_TYPE_JPEG; }

// Reads a binary PPM (P6, maxval 255) as BGR.
bool ReadPpm(const std::string& path, Image& img) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> img.width >> img.height >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255 || !in) return false;
    std::vector<uint8_t> rgb(size_t(img.width) * img.height * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size()));
    img.bits = 24;
    img.pixels = rgb;
    for (size_t i = 0; i < rgb.size(); i += 3) std::swap(img.pixels[i], img.pixels[i + 2]);
    return bool(in);
}

bool Shell(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0; }

}  // namespace

TEST(OrnixRoundTrip, EveryFormatAndBitCount) {
    tellura::test::ScopedHome home;
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        Image src = Pattern(13, 7, bits);
        ORNIX_HANDLE h = MakeHandle(src);
        ASSERT_NE(h, nullptr);
        Image want = Rgb(h);
        for (const Format& f : kFormats) {
            SCOPED_TRACE(std::string(f.ext) + " " + std::to_string(bits));
            std::string path = home.path("rt." + std::string(f.ext));
            ASSERT_EQ(f.save(path.c_str(), h), 1);
            EXPECT_EQ(FileType(path.c_str()), f.type);
            ORNIX_HANDLE back = f.load(path.c_str());
            ASSERT_NE(back, nullptr) << GetLastVexilError();
            EXPECT_LE(MaxDiff(Rgb(back), want), Lossy(f) ? 40 : 0);
            plat::GlobalFree(back);
        }
        plat::GlobalFree(h);
    }
}

TEST(OrnixRoundTrip, BmpKeepsBitCountAndLayout) {
    tellura::test::ScopedHome home;
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        ORNIX_HANDLE h = MakeHandle(Pattern(5, 3, bits));
        std::string path = home.path("k.bmp");
        ASSERT_EQ(SaveBMP(path.c_str(), h), 1);
        ORNIX_HANDLE back = LoadBMP(path.c_str());
        ASSERT_NE(back, nullptr);
        auto* p = static_cast<const uint8_t*>(plat::GlobalLock(back));
        EXPECT_EQ(Le16(p + 28), bits);
        EXPECT_EQ(Le32(p + 18), 5u);
        EXPECT_EQ(Le32(p + 22), 3u);
        size_t row = ((5 * bits + 31) / 32) * 4, table = bits <= 8 ? (4u << bits) : 0;
        EXPECT_EQ(Le32(p + 10), 54 + table);
        EXPECT_EQ(plat::GlobalSize(back), 54 + table + row * 3);
        plat::GlobalUnlock(back);
        plat::GlobalFree(back);
        plat::GlobalFree(h);
    }
}

TEST(OrnixRoundTrip, GifReducesManyColoursClosely) {
    tellura::test::ScopedHome home;
    Image src = Smooth(64, 48);
    ORNIX_HANDLE h = MakeHandle(src);
    std::string path = home.path("many.gif");
    ASSERT_EQ(SaveGIF(path.c_str(), h), 1);
    ORNIX_HANDLE back = LoadGIF(path.c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_LE(MaxDiff(Rgb(back), src), 24);
    plat::GlobalFree(back);
    plat::GlobalFree(h);
}

TEST(OrnixRoundTrip, SaveFailsCleanlyWhereItCannotWrite) {
    tellura::test::ScopedHome home;
    ORNIX_HANDLE h = MakeHandle(Pattern(4, 4, 24));
    for (const Format& f : kFormats) {
        std::string path = home.path("missing/dir/x." + std::string(f.ext));
        EXPECT_EQ(f.save(path.c_str(), h), 0) << f.ext;
        EXPECT_EQ(GetLastVexilError(), ORNIX_ERR_WRITE) << f.ext;
        EXPECT_EQ(f.save(path.c_str(), nullptr), 0);
    }
    plat::GlobalFree(h);
}

TEST(OrnixRoundTrip, SavedFilesTakeTheUsersUmask) {
    tellura::test::ScopedHome home;
    ORNIX_HANDLE h = MakeHandle(Pattern(4, 4, 24));
    for (mode_t mask : {mode_t(022), mode_t(077), mode_t(002)}) {
        const mode_t old = umask(mask);
        for (const Format& f : kFormats) {
            std::string path = home.path("mode." + std::string(f.ext));
            ASSERT_EQ(f.save(path.c_str(), h), 1) << f.ext;
            struct stat st {};
            ASSERT_EQ(stat(path.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << f.ext << " under umask " << std::oct << mask;
        }
        umask(old);
    }
    plat::GlobalFree(h);
}

TEST(OrnixPeer, FilesWrittenByImageMagickLoadToSamePixels) {
    tellura::test::ScopedHome home;
    Image src = Pattern(17, 9, 24);
    src.pixels = Smooth(17, 9).pixels;
    ORNIX_HANDLE h = MakeHandle(src);
    std::string ref = home.path("ref.bmp");
    ASSERT_EQ(SaveBMP(ref.c_str(), h), 1);
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.ext);
        std::string out = home.path(std::string("im.") + f.ext);
        // This ImageMagick writes TGA rows top first while its header says
        // bottom-left origin; its TGA output is only checked to load.
        const bool rowsTrusted = f.type != ORNIX_TYPE_TGA;
        std::string opts = Lossy(f) ? " -quality 100 " : " ";
        ASSERT_TRUE(Shell("convert " + ref + opts + out));
        EXPECT_EQ(FileType(out.c_str()), f.type);
        ORNIX_HANDLE back = f.load(out.c_str());
        ASSERT_NE(back, nullptr) << GetLastVexilError();
        if (rowsTrusted) {
            EXPECT_LE(MaxDiff(Rgb(back), src), Lossy(f) ? 12 : 0);
        }
        plat::GlobalFree(back);
    }
    // An interlaced GIF stores its rows in four passes.
    std::string gif = home.path("im-interlaced.gif");
    ASSERT_TRUE(Shell("convert " + ref + " -interlace GIF " + gif));
    ORNIX_HANDLE back = LoadGIF(gif.c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(MaxDiff(Rgb(back), src), 0);
    plat::GlobalFree(back);
    plat::GlobalFree(h);
}

// Loads `file` with `load` and compares it with ImageMagick's reading of it
// (given `opts`), within `tolerance` per channel.
namespace {
void ExpectAsImageMagickReads(ORNIX_HANDLE (*load)(const char*), const std::string& file, const std::string& opts, int tolerance) {
    const std::string ref = file + ".ref.bmp";
    ASSERT_TRUE(Shell("convert " + file + " " + opts + " " + ref));
    ORNIX_HANDLE got = load(file.c_str()), want = LoadBMP(ref.c_str());
    EXPECT_NE(got, nullptr) << GetLastVexilError();
    EXPECT_NE(want, nullptr);
    if (got && want) {
        EXPECT_LE(MaxDiff(Rgb(got), Rgb(want)), tolerance);
    }
    plat::GlobalFree(got);
    plat::GlobalFree(want);
}
}  // namespace

// CMYK (as Adobe's programs write it, inverted), grey and 16-bit pictures show
// the colours ImageMagick shows for them.
TEST(OrnixPeer, CmykGreyAndDeepFilesLoadToImageMagicksColours) {
    tellura::test::ScopedHome home;
    ORNIX_HANDLE h = MakeHandle(Smooth(23, 11));
    std::string src = home.path("src.bmp");
    ASSERT_EQ(SaveBMP(src.c_str(), h), 1);
    plat::GlobalFree(h);
    struct Case {
        const char* name;
        const char* opts;
        ORNIX_HANDLE (*load)(const char*);
        int tolerance;
    } cases[] = {
        {"cmyk.jpg", "-colorspace CMYK -quality 100", LoadJPG, 3},
        {"grey.jpg", "-colorspace Gray -quality 100", LoadJPG, 2},
        {"cmyk.tif", "-colorspace CMYK", LoadTIF, 0},
        {"cmyk16.tif", "-colorspace CMYK -depth 16", LoadTIF, 0},
        {"rgb16.tif", "-depth 16", LoadTIF, 0},
        {"grey16.tif", "-colorspace Gray -depth 16", LoadTIF, 0},
        {"palette.tif", "-type Palette", LoadTIF, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = home.path(c.name);
        ASSERT_TRUE(Shell("convert " + src + " " + c.opts + " " + file));
        ExpectAsImageMagickReads(c.load, file, "-colorspace sRGB -type TrueColor", c.tolerance);
    }
}

// A TIFF's Orientation tag turns the picture upright, all eight values.
TEST(OrnixPeer, TiffOrientationsComeOutUpright) {
    tellura::test::ScopedHome home;
    ORNIX_HANDLE h = MakeHandle(Pattern(7, 4, 24));
    std::string src = home.path("src.bmp");
    ASSERT_EQ(SaveBMP(src.c_str(), h), 1);
    plat::GlobalFree(h);
    const char* names[] = {"TopLeft", "TopRight", "BottomRight", "BottomLeft", "LeftTop", "RightTop", "RightBottom", "LeftBottom"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        std::string file = home.path(std::string(name) + ".tif");
        ASSERT_TRUE(Shell("convert " + src + " -orient " + name + " -compress none " + file));
        ExpectAsImageMagickReads(LoadTIF, file, "-auto-orient", 0);
    }
}

TEST(OrnixPeer, OurFilesReadByImageMagickToSamePixels) {
    tellura::test::ScopedHome home;
    for (int bits : {8, 24}) {
        Image src = Pattern(11, 6, bits);
        if (bits == 24) src.pixels = Smooth(11, 6).pixels;
        ORNIX_HANDLE h = MakeHandle(src);
        Image want = Rgb(h);
        for (const Format& f : kFormats) {
            SCOPED_TRACE(std::string(f.ext) + " " + std::to_string(bits));
            std::string ours = home.path(std::string("ours.") + f.ext), ppm = home.path("back.ppm");
            ASSERT_EQ(f.save(ours.c_str(), h), 1);
            ASSERT_TRUE(Shell("convert " + ours + " -depth 8 ppm:" + ppm));
            Image got;
            ASSERT_TRUE(ReadPpm(ppm, got));
            EXPECT_LE(MaxDiff(got, want), Lossy(f) ? 12 : 0);
        }
        plat::GlobalFree(h);
    }
}

TEST(OrnixInfo, ReportsDimensionsAndReducers) {
    tellura::test::ScopedHome home;
    ORNIX_HANDLE h = MakeHandle(Pattern(9, 4, 8));
    std::string path = home.path("i.pcx");
    ASSERT_EQ(SavePCX(path.c_str(), h), 1);
    int w = 0, hh = 0, b = 0, p = 0, c = 0;
    ASSERT_EQ(GetPCXInfo(path.c_str(), &w, &hh, &b, &p, &c), 1);
    EXPECT_EQ(w, 9);
    EXPECT_EQ(hh, 4);
    EXPECT_EQ(b, 8);
    EXPECT_EQ(c, 256);
    EXPECT_EQ(GetJPGInfo(path.c_str(), &w, &hh, &b, &p, &c), 0);
    plat::GlobalFree(h);

    // Two colours in a histogram give exactly two entries, one per colour.
    std::vector<unsigned> hist(32768, 0);
    hist[(31 << 10)] = 10;  // red
    hist[31] = 5;           // blue
    unsigned char pal[256 * 4];
    ASSERT_EQ(MedianCut(hist.data(), pal, 256), 2);
    bool sawRed = (pal[2] > 240 && pal[0] < 8) || (pal[6] > 240 && pal[4] < 8);
    EXPECT_TRUE(sawRed);
    const unsigned char px[] = {0, 0, 255, 0, 0, 255, 255, 0, 0};
    ASSERT_EQ(Popularity(px, 3, pal, 1), 1);
    EXPECT_GT(pal[2], 240);  // red is the most frequent
}
