// The on-video logo, time and date through the exports on the virtual card:
// the status pattern, and the items found in the pixels of a still and of
// recordings at their positions. The card's picture is made black with its
// colour controls so that only the overlay is bright.
#include "../RecordingTestUtil.h"
#include "platform/Registry.h"
#include "strova/Strova.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

using recording_test::Shell;
using tellura::test::ScopedHome;

using recording_test::SetValue;

namespace {

constexpr int kSrcW = 720, kSrcH = 576;  // the virtual card's PAL frame
constexpr int kLogoX = 40, kLogoY = 40, kLogoW = 200, kLogoH = 150;

// A 24-bit bottom-up BMP, all red.
void WriteRedLogo(const std::string& path) {
  const int stride = (kLogoW * 3 + 3) & ~3;
  const uint32_t pixels = uint32_t(stride) * kLogoH, size = 54 + pixels;
  std::vector<uint8_t> f(size, 0);
  auto put = [&](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) f[at + i] = uint8_t(v >> (8 * i));
  };
  f[0] = 'B', f[1] = 'M';
  put(2, size, 4), put(10, 54, 4), put(14, 40, 4), put(18, kLogoW, 4), put(22, kLogoH, 4);
  put(26, 1, 2), put(28, 24, 2), put(34, pixels, 4);
  for (int y = 0; y < kLogoH; ++y)
    for (int x = 0; x < kLogoW; ++x) f[54 + size_t(y) * stride + x * 3 + 2] = 255;  // B, G, R
  ASSERT_TRUE(tellura::test::WriteFile(path, std::string(f.begin(), f.end())));
}

// A 1-bit 16 x 16 BMP; with `claimedWidth` its header claims another width
// than the pixels in the file hold.
void WriteMonoBmp(const std::string& path, int claimedWidth = 16) {
  std::string f(62 + 16 * 4, '\0');
  auto put = [&](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) f[at + i] = char(v >> (8 * i));
  };
  f[0] = 'B', f[1] = 'M';
  put(2, uint32_t(f.size()), 4), put(10, 62, 4), put(14, 40, 4), put(18, claimedWidth, 4), put(22, 16, 4);
  put(26, 1, 2), put(28, 1, 2), put(46, 2, 4), put(58, 0xFFFFFF, 4);
  ASSERT_TRUE(tellura::test::WriteFile(path, f));
}

// ImageMagick's view of a picture file.
std::string Magick(const std::string& file, const std::string& ops) {
  return Shell("convert '" + file + "' " + ops + " 2>&1");
}

std::vector<int> Size(const std::string& file) {
  int w = 0, h = 0;
  std::sscanf(Shell("identify -format '%w %h' '" + file + "' 2>&1").c_str(), "%d %d", &w, &h);
  return {w, h};
}

// Pixel at a source position, scaled to the picture's own size.
std::string PixelAt(const std::string& file, int srcX, int srcY) {
  const auto s = Size(file);
  const int x = srcX * s[0] / kSrcW, y = srcY * s[1] / kSrcH;
  return Magick(file, "-alpha off -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' -crop 1x1+" +
                          std::to_string(x) + "+" + std::to_string(y) + " info:");
}

// Brightest value (0..255) of a source rectangle, scaled to the picture's size.
int MaxIn(const std::string& file, int srcX, int srcY, int srcW, int srcH) {
  const auto s = Size(file);
  char geometry[64];
  std::snprintf(geometry, sizeof geometry, "%dx%d+%d+%d", srcW * s[0] / kSrcW, srcH * s[1] / kSrcH,
                srcX * s[0] / kSrcW, srcY * s[1] / kSrcH);
  return std::atoi(Magick(file, std::string("-crop ") + geometry + " -format '%[fx:int(255*maxima)]' info:").c_str());
}

bool IsRed(const std::string& rgb) {
  int r = 0, g = 0, b = 0;
  return std::sscanf(rgb.c_str(), "%d,%d,%d", &r, &g, &b) == 3 && r > 200 && g < 70 && b < 70;
}

class Overlay : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");  // headless renderer
    ASSERT_EQ(Strova_Initialize(), S_OK);
    int count = 0;
    Strova_GetCardNumber(&count);
    card_ = count - 1;  // the virtual card is listed last
    ASSERT_GE(card_, 0);
  }
  void TearDown() override { Strova_Uninitialize(); }

  void ConnectBlack() {
    ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
    for (int p : {0, 1, 3}) Strova_SetVideoPropertyValue(card_, p, 0);  // brightness, contrast, saturation
  }

  // Logo at its place, time low on the left, date hidden.
  void ShowItems() {
    const std::string logo = home_.path("logo.bmp");
    WriteRedLogo(logo);
    ASSERT_EQ(Strova_SetLogoFile(card_, logo.c_str()), S_OK);
    ASSERT_EQ(Strova_ShowLogo(card_, 1, kLogoX, kLogoY), S_OK);
    ASSERT_EQ(Strova_ShowTime(card_, 1, 40, 480), S_OK);
    ASSERT_EQ(Strova_ShowDate(card_, 0, 400, 40), S_OK);
  }

  void ExpectItems(const std::string& file) {
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_TRUE(IsRed(PixelAt(file, kLogoX + kLogoW / 2, kLogoY + kLogoH / 2))) << file;
    EXPECT_FALSE(IsRed(PixelAt(file, kLogoX + kLogoW + 60, kLogoY + kLogoH / 2))) << "logo too wide in " << file;
    EXPECT_GT(MaxIn(file, 30, 470, 300, 80), 150) << "no time in " << file;
    EXPECT_LT(MaxIn(file, 400, 30, 300, 80), 60) << "hidden date drawn in " << file;
  }

  // A still in which the logo shows: the items reach the frames a moment
  // after the calls, so stills are taken until one carries them.
  std::string StillWithLogo() {
    const std::string still = home_.path("still.bmp");
    for (int i = 0; i < 50; ++i) {
      std::filesystem::remove(still);
      Strova_SaveToBmpFile(card_, still.c_str());
      if (std::filesystem::exists(still) && IsRed(PixelAt(still, kLogoX + kLogoW / 2, kLogoY + kLogoH / 2)))
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return still;
  }

  // Records about 1.5 s in the stored capture mode; one decoded frame.
  std::string RecordFrame(const char* name, int captureMode) {
    SetValue("CaptureMode", captureMode);
    SetValue("mpgmode", 1);
    const std::string path = home_.path(name);
    Strova_SetCaptureFile(card_, path.c_str());
    if (Strova_StartCapture(card_) != 1) return path + " not started";
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the length of the clip
    Strova_StopCapture(card_);
    const std::string png = path + ".png";
    Shell("ffmpeg -v error -y -ss 0.8 -i '" + path + "' -frames:v 1 '" + png + "' 2>&1");
    return png;
  }

  ScopedHome home_;
  int card_ = -1;
};

}  // namespace

// Each export checks the card, then the filter; both connection modes draw.
TEST_F(Overlay, ExportsAnswerInTheFixedOrder) {
  EXPECT_EQ(Strova_ShowLogo(-1, 1, 0, 0), E_INVALIDARG);
  EXPECT_EQ(Strova_ShowTime(card_, 1, 0, 0), E_FAIL) << "before connecting";
  EXPECT_EQ(Strova_GetVideoStream(card_, 0, 0), E_FAIL);
  ASSERT_EQ(Strova_ConnectDevice(card_, 1, nullptr), S_OK);
  EXPECT_EQ(Strova_ShowDate(card_, 1, 0, 0), S_OK) << "YUV mode";
  EXPECT_EQ(Strova_GetVideoStream(card_, 0, 0), S_OK);
  Strova_DisconnectDevice(card_);
  EXPECT_EQ(Strova_ShowDate(card_, 1, 0, 0), E_FAIL) << "after disconnecting";
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  EXPECT_EQ(Strova_GetVideoStream(card_, 0, 0), S_OK);
  EXPECT_EQ(Strova_ShowLogoTimeOnUserStream(card_, 1), S_OK);
  EXPECT_EQ(Strova_SetLogoFile(card_, home_.path("missing.bmp").c_str()), E_FAIL);
  EXPECT_EQ(Strova_SetLogoFile(card_, nullptr), E_FAIL);
  WriteMonoBmp(home_.path("mono.bmp"));
  EXPECT_EQ(Strova_SetLogoFile(card_, home_.path("mono.bmp").c_str()), S_OK) << "1-bit logo";
  WriteMonoBmp(home_.path("huge.bmp"), 30000);
  EXPECT_EQ(Strova_SetLogoFile(card_, home_.path("huge.bmp").c_str()), E_FAIL) << "huge logo";
  ASSERT_TRUE(tellura::test::WriteFile(home_.path("text.bmp"), "not a picture"));
  EXPECT_EQ(Strova_SetLogoFile(card_, home_.path("text.bmp").c_str()), E_FAIL);
  // Far outside the picture and negative: accepted, nothing drawn, no crash.
  EXPECT_EQ(Strova_ShowLogo(card_, 1, 100000, -100000), S_OK);
  EXPECT_EQ(Strova_ShowDate(card_, 1, -5, -5), S_OK);
}

// The items are in the still and in the decoded pictures of an MPEG and an
// AVI recording, at the positions given in source pixels.
TEST_F(Overlay, LogoAndTimeAreInStillsAndRecordings) {
  ConnectBlack();
  ShowItems();
  ExpectItems(StillWithLogo());
  ExpectItems(RecordFrame("vcd.mpg", 1));
  ExpectItems(RecordFrame("clip.avi", 3));
}

// The viewer's default connection is the YUV one: its stills carry the items too.
TEST_F(Overlay, YuvConnectionDrawsTheItems) {
  ASSERT_EQ(Strova_ConnectDevice(card_, 1, nullptr), S_OK);
  for (int p : {0, 1, 3}) Strova_SetVideoPropertyValue(card_, p, 0);
  ShowItems();
  ExpectItems(StillWithLogo());
}
