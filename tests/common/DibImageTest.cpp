// The image object: loading in both kinds, saving by type and extension,
// scaling, failure codes, and ImageMagick reading what it writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <wx/image.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "DibTestUtil.h"
#include "common/DibImage.h"
#include "common/Orientation.h"
#include "ornix/Ornix.h"

using namespace dibtest;
using tellura::test::ReadFile;
using tellura::test::ScopedHome;
using tellura::test::WriteFile;

namespace {

const int kBits[] = {1, 4, 8, 16, 24, 32};
const char* const kExt[] = {"", ".jpg", ".bmp", ".gif", ".pcx", ".tga", ".tif"};
const int kOrnixType[] = {0, ORNIX_TYPE_JPEG, ORNIX_TYPE_BMP, ORNIX_TYPE_GIF, ORNIX_TYPE_PCX, ORNIX_TYPE_TGA, ORNIX_TYPE_TIFF};

std::string Bmp(const ScopedHome& home, int w, int h, int bits, const std::string& name = "src.bmp") {
    const std::string path = home.path(name);
    EXPECT_TRUE(WriteFile(path, MakeBmp(w, h, bits)));
    return path;
}

std::vector<Rgb> Pixels(const CDibImage& dib) {
    wxImage img;
    std::vector<Rgb> out;
    if (!dib.ToImage(img)) return out;
    const unsigned char* p = img.GetData();
    for (int i = 0; i < img.GetWidth() * img.GetHeight(); ++i) out.push_back({p[3 * i], p[3 * i + 1], p[3 * i + 2]});
    return out;
}

std::vector<Rgb> Expected(int bits, int w, int h) {
    std::vector<Rgb> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.push_back(ColourAt(bits, x, y));
    return out;
}

int MaxDiff(const std::vector<Rgb>& a, const std::vector<Rgb>& b) {
    if (a.size() != b.size() || a.empty()) return 256;
    int m = 0;
    for (size_t i = 0; i < a.size(); ++i)
        m = std::max({m, std::abs(a[i].r - b[i].r), std::abs(a[i].g - b[i].g), std::abs(a[i].b - b[i].b)});
    return m;
}

const uint8_t* Bytes(const CDibImage& dib) { return static_cast<const uint8_t*>(plat::GlobalLock(dib.PixelBlock())); }
uint32_t Field32(const CDibImage& dib, size_t at) {
    const uint8_t* p = Bytes(dib);
    uint32_t v = uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
    plat::GlobalUnlock(dib.PixelBlock());
    return v;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

TEST(DibEmpty, NeverLoadedObjectReportsZerosAndRefusesWork) {
    ScopedHome home;
    CDibImage dib;
    EXPECT_EQ(dib.Width(), 0);
    EXPECT_EQ(dib.Height(), 0);
    EXPECT_EQ(dib.Colours(), 0);
    EXPECT_EQ(dib.PixelBlock(), nullptr);
    EXPECT_FALSE(dib.Scale(0, 0));
    EXPECT_EQ(dib.LastError(), DIB_ERR_EMPTY);
    EXPECT_FALSE(dib.Scale(6, 4));
    const std::string out = home.path("never.bmp");
    EXPECT_FALSE(dib.Save(out));
    EXPECT_FALSE(Exists(out));
    wxImage img;
    EXPECT_FALSE(dib.ToImage(img));
}

TEST(DibLoad, ViewerKindKeepsEveryBitCountAndPixel) {
    ScopedHome home;
    for (int bits : kBits) {
        SCOPED_TRACE(bits);
        const std::string path = Bmp(home, 5, 3, bits);
        CDibImage dib(CDibImage::Kind::Viewer);
        ASSERT_TRUE(dib.Load(path)) << dib.LastError();
        EXPECT_EQ(dib.Width(), 5);
        EXPECT_EQ(dib.Height(), 3);
        EXPECT_EQ(dib.BitCount(), bits);
        EXPECT_EQ(dib.Colours(), bits <= 8 ? 1 << bits : 0);
        EXPECT_EQ(dib.ColourTableSize(), bits <= 8 ? 4 << bits : 0);
        EXPECT_EQ(dib.FileType(), ORNIX_TYPE_BMP);
        EXPECT_EQ(dib.FileName(), path);
        EXPECT_FALSE(dib.HasPalette());  // the test screen has 24 bits per pixel
        EXPECT_EQ(Field32(dib, 38), 0u);  // resolution fields cleared
        EXPECT_EQ(Field32(dib, 42), 0u);
        EXPECT_EQ(Pixels(dib), Expected(bits, 5, 3));
    }
}

TEST(DibLoad, BrowserKindSendsBmpThroughJpegInThePrivateStateFolder) {
    ScopedHome home;
    const std::string path = Bmp(home, 8, 6, 8);
    CDibImage dib;
    ASSERT_TRUE(dib.Load(path)) << dib.LastError();
    EXPECT_EQ(dib.BitCount(), 24);  // what the JPEG reader gives
    EXPECT_EQ(dib.Colours(), 0);
    EXPECT_EQ(dib.FileType(), ORNIX_TYPE_BMP);
    EXPECT_LE(MaxDiff(Pixels(dib), Expected(8, 8, 6)), 40);
    const std::string temp = CDibImage::TempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.rfind(home.root(), 0), 0u) << temp;  // inside this user's own folders
    EXPECT_EQ(temp.substr(temp.size() - 6), "/~temp");
    const std::string dir = temp.substr(0, temp.size() - 5);
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);  // nobody else can place a link there

    // Loads at the same time each get their own picture, and no temporary
    // file is left behind.
    const std::string other = Bmp(home, 5, 9, 24, "other.bmp");
    std::vector<std::thread> loaders;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        loaders.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                CDibImage mine;
                const bool first = (t + i) % 2 == 0;
                if (!mine.Load(first ? path : other) || mine.Width() != (first ? 8 : 5)) ++wrong;
            }
        });
    for (auto& l : loaders) l.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(Shell("ls -A '" + dir + "' | grep -q '~temp'"), false);

    // Other types load unchanged by either kind.
    const std::string gif = home.path("x.gif");
    ASSERT_TRUE(Shell("convert '" + path + "' '" + gif + "'"));
    ASSERT_TRUE(dib.Load(gif));
    EXPECT_EQ(dib.FileType(), ORNIX_TYPE_GIF);
    EXPECT_EQ(Pixels(dib), Expected(8, 8, 6));
}

TEST(DibLoad, BadFilesFailWithACodeAndLeaveTheObjectEmpty) {
    ScopedHome home;
    CDibImage dib(CDibImage::Kind::Viewer);
    ASSERT_TRUE(dib.Load(Bmp(home, 5, 3, 24)));

    EXPECT_FALSE(dib.Load(home.path("missing.bmp")));
    EXPECT_EQ(dib.LastError(), DIB_ERR_TYPE);
    EXPECT_EQ(dib.PixelBlock(), nullptr);
    // A failed load keeps the size fields of the previous image.
    EXPECT_EQ(dib.Width(), 5);
    EXPECT_EQ(dib.BitCount(), 24);

    ASSERT_TRUE(WriteFile(home.path("text.jpg"), "just some words, not a picture\n"));
    EXPECT_FALSE(dib.Load(home.path("text.jpg")));
    EXPECT_EQ(dib.LastError(), DIB_ERR_TYPE);

    std::string bmp = MakeBmp(40, 40, 24);
    struct Bad {
        const char* name;
        std::string bytes;
    } bad[] = {
        {"short.bmp", bmp.substr(0, 80)},
        {"huge.bmp", bmp.substr(0, 18) + std::string("\x60\xEA\x00\x00\x60\xEA\x00\x00", 8) + bmp.substr(26)},
        {"head.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11)},
        {"head.gif", "GIF89a\x10\x00"},
        {"head.tif", std::string("II*\0\x08\0\0\0\xFF\xFF", 10)},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        ASSERT_TRUE(WriteFile(home.path(b.name), b.bytes));
        EXPECT_FALSE(dib.Load(home.path(b.name)));
        EXPECT_NE(dib.LastError(), 0);
        EXPECT_EQ(dib.PixelBlock(), nullptr);
        EXPECT_FALSE(dib.Scale(2, 2));
        EXPECT_EQ(dib.LastError(), DIB_ERR_EMPTY);
    }
}

// Each EXIF orientation shows the picture as ImageMagick's -auto-orient
// does; blocks that lie leave the picture as stored and never read past it.
TEST(DibLoad, JpegIsShownUprightByItsExifOrientation) {
    ScopedHome home;
    const std::string peer = home.path("peer.png"), scratch = home.path("scratch.rgb");
    std::string corners[9];
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const std::string path = QuadrantJpeg(home.path("o" + std::to_string(o) + ".jpg"), 64, 48, o);
        ASSERT_FALSE(path.empty());
        CDibImage dib(CDibImage::Kind::Browser);
        ASSERT_TRUE(dib.Load(path));
        ASSERT_EQ(dib.Width(), o >= 5 ? 48 : 64);
        ASSERT_EQ(dib.Height(), o >= 5 ? 64 : 48);
        ASSERT_TRUE(Shell("convert '" + path + "' -auto-orient '" + peer + "'"));
        const std::vector<Rgb> got = Pixels(dib), want = PeerPixels(peer, scratch);
        ASSERT_EQ(got.size(), want.size());
        const int w = dib.Width(), h = dib.Height();
        for (auto [x, y] : {std::pair{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}}) {
            corners[o] += QuadrantColour(got[size_t(y * w + x)]);
            EXPECT_EQ(QuadrantColour(got[size_t(y * w + x)]), QuadrantColour(want[size_t(y * w + x)])) << x << "," << y;
        }
    }
    EXPECT_EQ(corners[1], "RGBW");
    EXPECT_EQ(corners[6], "BRWG");  // a quarter turn clockwise

    const std::string good = ReadFile(home.path("o6.jpg"));
    auto lie = [&](size_t at, std::string bytes) { return good.substr(0, at) + bytes + good.substr(at + bytes.size()); };
    // What each lying block gives: the entries that are there are read.
    const std::pair<std::string, int> lies[] = {
        {lie(16, std::string("\xF0\xFF\xFF\xFF", 4)), 1},  // directory past the end
        {lie(16, std::string("\0\0\0\0", 4)), 1},          // directory on the header: 0x4949 entries
        {lie(20, std::string("\xFF\xFF", 2)), 6},            // more entries than bytes
        {lie(4, std::string("\x00\x0E", 2)), 1},             // a block cut inside the directory
        {lie(30, std::string("\x09\x00", 2)), 1},            // no such orientation
    };
    auto orientation = [](const std::string& b) {
        return orient::JpegOrientation(reinterpret_cast<const uint8_t*>(b.data()), b.size());
    };
    EXPECT_EQ(orientation(good), 6);
    for (size_t cut : {0, 3, 12, 20, 31}) EXPECT_EQ(orientation(good.substr(0, cut)), 1) << cut;
    for (const auto& [bytes, shown] : lies) {
        EXPECT_EQ(orientation(bytes), shown);
        ASSERT_TRUE(WriteFile(home.path("lie.jpg"), bytes));
        CDibImage dib(CDibImage::Kind::Viewer);
        // The cut block leaves the rest of the old one to the codec, which
        // may refuse the file.
        if (dib.Load(home.path("lie.jpg"))) {
            EXPECT_EQ(dib.Width(), shown == 6 ? 48 : 64);
        }
    }
}

TEST(DibRoundTrip, EveryTypeAndBitCountReadsBackAndByImageMagick) {
    ScopedHome home;
    const std::string scratch = home.path("peer.rgb");
    for (int bits : kBits) {
        CDibImage dib(CDibImage::Kind::Viewer);
        ASSERT_TRUE(dib.Load(Bmp(home, 5, 3, bits)));
        const std::vector<Rgb> want = Expected(bits, 5, 3);
        for (int type = DIB_SAVE_JPG; type <= DIB_SAVE_TIF; ++type) {
            SCOPED_TRACE(std::string(kExt[type]) + " " + std::to_string(bits));
            const std::string out = home.path("out" + std::to_string(bits) + kExt[type]);
            ASSERT_TRUE(dib.Save(out)) << dib.LastError();
            EXPECT_EQ(dib.FileType(), type);  // a save stores its own type code
            EXPECT_EQ(dib.FileName(), out);
            EXPECT_EQ(::FileType(out.c_str()), kOrnixType[type]);
            const int tolerance = type == DIB_SAVE_JPG ? 40 : 0;
            CDibImage back(CDibImage::Kind::Viewer);
            ASSERT_TRUE(back.Load(out)) << back.LastError();
            EXPECT_LE(MaxDiff(Pixels(back), want), tolerance);
            // 5-bit channels may be widened differently by another reader.
            EXPECT_LE(MaxDiff(PeerPixels(out, scratch), want), bits == 16 ? std::max(tolerance, 2) : tolerance);
        }
    }
}

TEST(DibSave, TypeComesFromTheLastFourCharacters) {
    ScopedHome home;
    CDibImage dib(CDibImage::Kind::Viewer);
    ASSERT_TRUE(dib.Load(Bmp(home, 4, 4, 24)));
    for (const char* name : {"a.bmp", "b.BMP", "c.bMp", "d.jpg.bmp"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(dib.Save(home.path(name)));
        EXPECT_EQ(ReadFile(home.path(name)).substr(0, 2), "BM");
        EXPECT_EQ(dib.FileType(), DIB_SAVE_BMP);
    }
    EXPECT_TRUE(dib.Save(home.path("e.TiF")));
    EXPECT_EQ(::FileType(home.path("e.TiF").c_str()), ORNIX_TYPE_TIFF);

    dib.SetJpegQuality(30);
    ASSERT_TRUE(dib.Save(home.path("low.jpg")));
    dib.SetJpegQuality(100);
    ASSERT_TRUE(dib.Save(home.path("high.jpg")));
    EXPECT_LT(ReadFile(home.path("low.jpg")).size(), ReadFile(home.path("high.jpg")).size());

    dib.Save(home.path("keep.gif"));
    for (const char* name : {"f.jpeg", "g.tiff", "noext", "bmp", "h.bm", "i.bmp.", "i.bmpx"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(dib.Save(home.path(name)));
        EXPECT_FALSE(Exists(home.path(name)));
        EXPECT_EQ(dib.FileType(), DIB_SAVE_GIF);  // a refused save changes nothing
    }
    // An explicit type wins over the extension; types outside 1..6 write nothing.
    ASSERT_TRUE(dib.Save(home.path("named.bmp"), DIB_SAVE_TIF));
    EXPECT_EQ(::FileType(home.path("named.bmp").c_str()), ORNIX_TYPE_TIFF);
    for (int type : {0, 7, -2}) {
        EXPECT_FALSE(dib.Save(home.path("t" + std::to_string(type) + ".bmp"), type));
        EXPECT_FALSE(Exists(home.path("t" + std::to_string(type) + ".bmp")));
    }
}

TEST(DibSave, FailedWritesAreReportedAndABmpFailureIsTold) {
    ScopedHome home;
    std::vector<std::string> told;
    CDibImage::SetMessageSink([&](const char* text) { told.push_back(text); });
    CDibImage dib(CDibImage::Kind::Viewer);
    ASSERT_TRUE(dib.Load(Bmp(home, 4, 4, 8)));
    EXPECT_FALSE(dib.Save(home.path("no/such/dir/x.bmp")));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_STREQ(told[0].c_str(), "Saving image as Bmp file failed!");
    for (const char* ext : {".jpg", ".gif", ".pcx", ".tga", ".tif"}) {
        EXPECT_FALSE(dib.Save(home.path(std::string("no/such/dir/x") + ext))) << ext;
        EXPECT_FALSE(Exists(home.path(std::string("no/such/dir/x") + ext)));
    }
    EXPECT_EQ(told.size(), 1u);  // only the BMP failure is told
    EXPECT_TRUE(dib.Save(home.path("fine.bmp")));
    EXPECT_EQ(told.size(), 1u);
    CDibImage::SetMessageSink(nullptr);
}
