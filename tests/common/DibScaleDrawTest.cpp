// Nearest-neighbour scaling for every bit count, and drawing on a wxDC.
#include <gtest/gtest.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/app.h>
#include <wx/init.h>

#include "DibTestUtil.h"
#include "common/DibImage.h"

using namespace dibtest;
using tellura::test::ScopedHome;
using tellura::test::WriteFile;

namespace {

const int kBits[] = {1, 4, 8, 16, 24, 32};

bool LoadTest(CDibImage& dib, const ScopedHome& home, int w, int h, int bits) {
    const std::string path = home.path("s" + std::to_string(bits) + ".bmp");
    return WriteFile(path, MakeBmp(w, h, bits)) && dib.Load(path);
}

Rgb PixelOf(const wxImage& img, int x, int y) { return {img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y)}; }

uint32_t Field32(const CDibImage& dib, size_t at) {
    auto* p = static_cast<const uint8_t*>(plat::GlobalLock(dib.PixelBlock()));
    uint32_t v = uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
    plat::GlobalUnlock(dib.PixelBlock());
    return v;
}

// Every pixel of the scaled image is the source pixel floor(x * w0 / w), floor(y * h0 / h).
void ExpectNearest(const CDibImage& dib, int bits, int w0, int h0) {
    wxImage img;
    ASSERT_TRUE(dib.ToImage(img));
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x)
            ASSERT_EQ(PixelOf(img, x, y), ColourAt(bits, x * w0 / dib.Width(), y * h0 / dib.Height()))
                << "at " << x << "," << y;
}

// The block after a scale is a consistent BMP file image of the new size.
void ExpectLayout(const CDibImage& dib) {
    const uint32_t table = uint32_t(dib.ColourTableSize());
    const uint32_t image = uint32_t(DibStride(dib.BitCount(), dib.Width()) * dib.Height());
    EXPECT_EQ(Field32(dib, 18), uint32_t(dib.Width()));
    EXPECT_EQ(Field32(dib, 22), uint32_t(dib.Height()));
    EXPECT_EQ(Field32(dib, 34), image);
    EXPECT_EQ(Field32(dib, 2), 54 + table + image);
    EXPECT_EQ(plat::GlobalSize(dib.PixelBlock()), 54 + table + image);
}

// wx with its GUI part, once per process (the suite runs under an X server).
bool Gui() {
    static const bool ok = [] {
        wxApp::SetInstance(new wxApp);
        static char name[] = "test-common-dib";
        static char* argv[] = {name, nullptr};
        int argc = 1;
        return wxEntryStart(argc, argv);
    }();
    return ok;
}

}  // namespace

// 3x2 to 6x4 doubles every pixel and back restores it; the uneven sizes cut
// through the bytes of 1- and 4-bit rows, growing and shrinking.
TEST(DibScale, EveryBitCountPicksTheNearestPixel) {
    ScopedHome home;
    struct Step {
        int w0, h0, w, h;
    } steps[] = {{3, 2, 6, 4}, {9, 7, 13, 5}, {13, 5, 4, 3}, {4, 3, 17, 9}, {17, 9, 1, 1}};
    for (int bits : kBits) {
        for (const Step& s : steps) {
            SCOPED_TRACE(std::to_string(bits) + " bits to " + std::to_string(s.w) + "x" + std::to_string(s.h));
            CDibImage dib(CDibImage::Kind::Viewer);
            ASSERT_TRUE(LoadTest(dib, home, s.w0, s.h0, bits));
            ASSERT_TRUE(dib.Scale(s.w, s.h));
            EXPECT_EQ(dib.LastError(), 0);
            EXPECT_EQ(dib.BitCount(), bits);
            ExpectNearest(dib, bits, s.w0, s.h0);
            ExpectLayout(dib);
            ASSERT_TRUE(dib.Scale(s.w0, s.h0));
            if (s.w % s.w0 == 0 && s.h % s.h0 == 0) ExpectNearest(dib, bits, s.w0, s.h0);  // exact multiples come back whole
        }
    }
}

TEST(DibScale, SameSizeIsANoOpAndImpossibleSizesChangeNothing) {
    ScopedHome home;
    CDibImage dib(CDibImage::Kind::Viewer);
    ASSERT_TRUE(LoadTest(dib, home, 5, 3, 8));
    plat::HGLOBAL before = dib.PixelBlock();
    EXPECT_TRUE(dib.Scale(5, 3));
    EXPECT_EQ(dib.PixelBlock(), before);
    for (auto [w, h] : {std::pair{0, 3}, {5, -1}, {40000, 2}, {20000, 20000}}) {
        EXPECT_FALSE(dib.Scale(w, h)) << w << "x" << h;
        EXPECT_EQ(dib.LastError(), DIB_ERR_ALLOC);
        EXPECT_EQ(dib.PixelBlock(), before);
        EXPECT_EQ(dib.Width(), 5);
        EXPECT_EQ(dib.Height(), 3);
    }
}

TEST(DibDraw, EveryBitCountLandsAtItsPositionAndKeepsTheLastOne) {
    ASSERT_TRUE(Gui());
    ScopedHome home;
    const wxColour ground(10, 200, 30);
    for (int bits : kBits) {
        SCOPED_TRACE(bits);
        CDibImage dib(CDibImage::Kind::Viewer);
        ASSERT_TRUE(LoadTest(dib, home, 5, 3, bits));
        wxBitmap target(20, 12, 24);
        {
            wxMemoryDC dc(target);
            dc.SetBackground(wxBrush(ground));
            dc.Clear();
            ASSERT_TRUE(dib.Draw(dc, 4, 6));
            EXPECT_EQ(dib.X(), 4);
            EXPECT_EQ(dib.Y(), 6);
            // -1 keeps the last value of that coordinate only.
            ASSERT_TRUE(dib.Draw(dc, 12, -1));
            EXPECT_EQ(dib.X(), 12);
            EXPECT_EQ(dib.Y(), 6);
        }
        wxImage shot = target.ConvertToImage();
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(PixelOf(shot, 4 + x, 6 + y), ColourAt(bits, x, y)) << x << "," << y;
                EXPECT_EQ(PixelOf(shot, 12 + x, 6 + y), ColourAt(bits, x, y)) << x << "," << y;
            }
        const Rgb bg{ground.Red(), ground.Green(), ground.Blue()};
        EXPECT_EQ(PixelOf(shot, 3, 6), bg);
        EXPECT_EQ(PixelOf(shot, 9, 6), bg);
        EXPECT_EQ(PixelOf(shot, 4, 5), bg);
        EXPECT_EQ(PixelOf(shot, 4, 9), bg);
    }
}

TEST(DibDraw, ViewerLoadDrawsAtOnceAndAnEmptyObjectDrawsNothing) {
    ASSERT_TRUE(Gui());
    ScopedHome home;
    const std::string path = home.path("v.bmp");
    ASSERT_TRUE(WriteFile(path, MakeBmp(4, 2, 24)));
    wxBitmap target(10, 10, 24);
    CDibImage dib(CDibImage::Kind::Viewer);
    {
        wxMemoryDC dc(target);
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        ASSERT_TRUE(dib.Load(path, &dc, 3, 5));
        CDibImage empty;
        EXPECT_FALSE(empty.Draw(dc, 0, 0));
        EXPECT_EQ(empty.LastError(), DIB_ERR_EMPTY);
        // A load without a device context draws nothing.
        CDibImage quiet(CDibImage::Kind::Viewer);
        ASSERT_TRUE(quiet.Load(path, nullptr, 0, 0));
    }
    wxImage shot = target.ConvertToImage();
    EXPECT_EQ(PixelOf(shot, 3, 5), ColourAt(24, 0, 0));
    EXPECT_EQ(PixelOf(shot, 6, 6), ColourAt(24, 3, 1));
    EXPECT_EQ(PixelOf(shot, 0, 0), (Rgb{0, 0, 0}));
}
