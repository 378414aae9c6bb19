// Still files checked byte for byte and decoded by ImageMagick.
#include "strova/still/StillFile.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace strova::still;
using tellura::test::ReadFile;
using tellura::test::ScopedHome;

namespace {

uint32_t Le32(const std::string& s, size_t off) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[off + i]);
  return v;
}

std::string Magick(const std::string& args) {
  std::string out;
  FILE* p = popen(("convert " + args + " 2>&1").c_str(), "r");
  char buf[512];
  size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  if (p) pclose(p);
  return out;
}

// RGB picture: red rises left to right, green top to bottom, blue constant.
std::vector<uint8_t> Gradient(int w, int h) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / (w - 1));
      p[1] = static_cast<uint8_t>(y * 255 / (h - 1));
      p[2] = 77;
    }
  return px;
}

}  // namespace

TEST(StillFile, FullAndHalfPicturesHaveTheExactLayout) {
  ScopedHome home;
  auto px = Gradient(640, 480);
  Frame f{px.data(), 640, 480, 0, PixelFormat::Rgb24};
  std::vector<uint8_t> dib = MakeDib(f, false);
  ASSERT_EQ(dib.size(), 921640u);
  const std::string path = home.path("shot.jpg");  // the extension does not change the format
  ASSERT_TRUE(WriteBmpFile(path, dib));
  std::string data = ReadFile(path);
  ASSERT_EQ(data.size(), 921654u);
  EXPECT_EQ(data.substr(0, 2), "BM");
  EXPECT_EQ(Le32(data, 2), 921654u);
  EXPECT_EQ(Le32(data, 6), 0u);
  EXPECT_EQ(Le32(data, 10), 54u);
  EXPECT_EQ(Le32(data, 14), 40u);
  EXPECT_EQ(Le32(data, 18), 640u);
  EXPECT_EQ(Le32(data, 22), 480u);
  EXPECT_EQ(Le32(data, 28) & 0xFFFF, 24u);
  // Bottom-up BGR rows: the first stored pixel is the bottom-left one.
  EXPECT_EQ(static_cast<uint8_t>(data[54]), 77);
  EXPECT_EQ(static_cast<uint8_t>(data[55]), 255);
  EXPECT_EQ(static_cast<uint8_t>(data[56]), 0);
  EXPECT_EQ(Magick("'" + path + "' -format '%w %h %[pixel:p{639,0}]' info:"), "640 480 srgb(255,0,77)");

  dib = MakeDib(f, true);
  EXPECT_EQ(dib.size(), 230440u);
  ASSERT_TRUE(WriteBmpFile(path, dib));  // replaces the earlier file
  data = ReadFile(path);
  EXPECT_EQ(Le32(data, 2), 230454u);
  EXPECT_EQ(data.size(), 230454u);
  EXPECT_EQ(Magick("'" + path + "' -format '%w %h' info:"), "320 240");
}

TEST(StillFile, RowsArePaddedAndFormatsConverted) {
  // 3 pixels of 3 bytes need one padding byte per row.
  const uint8_t bgrx[] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0, 13, 14, 15, 0, 16, 17, 18, 0};
  auto dib = MakeDib({bgrx, 3, 2, 12, PixelFormat::Bgrx}, false);
  ASSERT_EQ(dib.size(), 40u + 2 * 12);
  // Bottom row first, BGR order kept, padding zero.
  EXPECT_EQ(std::vector<uint8_t>(dib.begin() + 40, dib.begin() + 52),
            (std::vector<uint8_t>{10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(dib.begin() + 52, dib.end()),
            (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));
  // Formats a DIB cannot be made from, and unusable frames, give nothing.
  EXPECT_TRUE(MakeDib({bgrx, 3, 2, 0, PixelFormat::I420}, false).empty());
  EXPECT_TRUE(MakeDib({nullptr, 3, 2, 0, PixelFormat::Rgb24}, false).empty());
  EXPECT_TRUE(MakeDib({bgrx, 0, 2, 0, PixelFormat::Rgb24}, false).empty());
}

TEST(StillFile, BadTargetWritesNothing) {
  ScopedHome home;
  auto px = Gradient(16, 16);
  auto dib = MakeDib({px.data(), 16, 16, 0, PixelFormat::Rgb24}, false);
  EXPECT_FALSE(WriteBmpFile(home.path("no/such/dir/a.bmp"), dib));
  EXPECT_FALSE(WriteBmpFile("", dib));
  EXPECT_FALSE(WriteBmpFile(home.path("empty.bmp"), {}));
  EXPECT_FALSE(std::ifstream(home.path("empty.bmp")).good());
  EXPECT_FALSE(std::ifstream(home.path("empty.bmp.part")).good());
}
