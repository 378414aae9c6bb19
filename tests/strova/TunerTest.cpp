// The card control exports act on the card whose graph was built last, and
// the virtual card's picture follows the tuner: a station shows its
// programme, between stations there is snow; a moving picture is interlaced
// and the preview deinterlaces it.
#include "StrovaTestUtil.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kStation = 189250;   // a channel of the built-in station table
constexpr int kBetween = 300000;   // no station near

// Mean difference of horizontally adjacent pixels of a 24-bit BMP file: a
// programme picture has flat areas, snow changes at nearly every pixel.
double Roughness(const std::string& bytes) {
  const strova_test::Bmp bmp = strova_test::ReadBmp(bytes);
  if (bmp.width < 2) return -1;
  double sum = 0;
  size_t n = 0;
  for (int y = 0; y < bmp.height; y += 2) {
    for (int x = 0; x + 1 < bmp.width; ++x, ++n) {
      const uint8_t* p = bmp.Pixel(x, y);
      for (int k = 0; k < 3; ++k) sum += std::abs(int(p[k]) - int(p[3 + k]));
    }
  }
  return n ? sum / double(n * 3) : -1;
}

// Share of pixels (per thousand) of a 24-bit BMP in a comb: the pixel and
// the one below it each differ from both their vertical neighbours in the
// same direction by more than a step, so the rows alternate. Woven fields of
// different moments leave this along a moving edge; a plain edge or a thin
// line does not.
double Combing(const std::string& bytes) {
  const strova_test::Bmp bmp = strova_test::ReadBmp(bytes);
  const int w = bmp.width, h = bmp.height;
  if (w < 1 || h < 4) return -1;
  auto luma = [&](int x, int y) {
    const uint8_t* p = bmp.Pixel(x, y);
    return (p[0] + 2 * p[1] + p[2]) / 4;
  };
  constexpr int kStep = 24;
  auto tooth = [&](int x, int y) {  // +1 above both neighbours, -1 below both
    const int d1 = luma(x, y) - luma(x, y - 1), d2 = luma(x, y) - luma(x, y + 1);
    return (d1 > kStep && d2 > kStep) ? 1 : (d1 < -kStep && d2 < -kStep) ? -1 : 0;
  };
  long combed = 0;
  for (int y = 1; y + 2 < h; ++y)
    for (int x = 0; x < w; ++x)
      if (const int t = tooth(x, y); t != 0 && tooth(x, y + 1) == -t) ++combed;
  return 1000.0 * double(combed) / (double(w) * (h - 3));
}

class StrovaTuner : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    setenv("STROVA_TEST_TUNER_SETTLE_MS", "0", 1);
    ASSERT_EQ(Strova_Initialize(), S_OK);
    card_ = strova_test::VirtualCard();
  }
  void TearDown() override { Strova_Uninitialize(); }

  // A fresh still as BMP bytes; empty until one can be taken.
  std::string StillBytes() {
    const std::string path = home_.path("still.bmp");
    std::remove(path.c_str());
    Strova_SaveToBmpFile(card_, path.c_str());
    return tellura::test::ReadFile(path);
  }
  // Roughness of the current still, once one is there.
  double Still() {
    double r = -1;
    strova_test::WaitFor([&] { return (r = Roughness(StillBytes())) >= 0; });
    return r;
  }
  // Waits until the still's roughness passes the test.
  template <typename Pred>
  bool StillBecomes(Pred pred) {
    return strova_test::WaitFor([&] { return pred(last_ = Still()); }, 8000);
  }

  tellura::test::ScopedHome home_;
  int card_ = -1;
  double last_ = -1;
};

TEST_F(StrovaTuner, ControlsNeedAConnectedCard) {
  EXPECT_EQ(SetTvChannelFreg(0, kStation), 0);
  EXPECT_EQ(GetTvChannelOkay(0, kStation), 0);
  EXPECT_EQ(GetRemoteData(), 0);
  EXPECT_EQ(Strova_GetDeviceID(), 1);
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  EXPECT_EQ(SetTvChannelFreg(0, 40000), 0);  // below the band: nothing tuned
  ASSERT_EQ(Strova_DisconnectDevice(card_), S_OK);
  EXPECT_EQ(SetTvChannelFreg(0, kStation), 0);  // the card is gone with its graph
}

TEST_F(StrovaTuner, PictureFollowsTheTunerBetweenStationAndSnow) {
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  ASSERT_EQ(Strova_RouteInPinToOutPin(card_, 1, 0), S_OK);  // the tuner input
  ASSERT_EQ(SetTvChannelFreg(0, kStation), 1);
  EXPECT_GT(GetTvChannelOkay(0, kStation), 0);  // locked
  // A programme picture is mostly flat (snow measures above 25).
  ASSERT_TRUE(StillBecomes([](double r) { return r >= 0 && r < 10; })) << "roughness " << last_;
  const double station = last_;
  int32_t lockedFlag = 0;
  EXPECT_EQ(Strova_IsVideoSignalLocked(card_, &lockedFlag), S_OK);
  EXPECT_EQ(lockedFlag, 1);

  ASSERT_EQ(SetTvChannelFreg(0, kBetween), 1);
  EXPECT_EQ(GetTvChannelOkay(0, kBetween), 0);  // no lock between stations
  EXPECT_TRUE(StillBecomes([&](double r) { return r > 2.5 * station; }))
      << "station " << station << ", snow " << last_;

  // Back on the station the programme returns.
  ASSERT_EQ(SetTvChannelFreg(0, kStation), 1);
  EXPECT_TRUE(StillBecomes([&](double r) { return r < 1.5 * station; }))
      << "station " << station << ", now " << last_;
}

// The picture is interlaced: the preview (and the stills taken from it) shows
// a moving edge without combing while the deinterlacer is on, and with it
// when the user turns it off.
TEST_F(StrovaTuner, MovingEdgeCombsOnlyWithTheDeinterlacerOff) {
  struct Restore {
    ~Restore() { Strova_SetDeinterlace(1); }
  } restore;
  int on = 0;
  ASSERT_EQ(Strova_IsDeinterlace(&on), S_OK);
  EXPECT_EQ(on, 1);  // on by default
  EXPECT_EQ(Strova_IsDeinterlace(nullptr), E_INVALIDARG);
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  ASSERT_EQ(Strova_RouteInPinToOutPin(card_, 1, 0), S_OK);  // the tuner input
  ASSERT_EQ(SetTvChannelFreg(0, kStation), 1);
  std::string still;
  ASSERT_TRUE(strova_test::WaitFor([&] { return Combing(still = StillBytes()) >= 0; }));

  // The programme's ball moves in every frame; measured over several frames
  // so that a frame at the ball's turn cannot hide the difference.
  auto total = [&] {
    double sum = 0;
    for (int i = 0; i < 6; ++i) {
      const std::string before = still;
      strova_test::WaitFor([&] { return (still = StillBytes()) != before; });  // the next frame
      sum += std::max(0.0, Combing(still));
    }
    return sum;
  };
  const double deinterlaced = total();

  // Off takes effect in the running preview.
  ASSERT_EQ(Strova_SetDeinterlace(0), S_OK);
  ASSERT_EQ(Strova_IsDeinterlace(&on), S_OK);
  EXPECT_EQ(on, 0);
  double woven = 0;
  EXPECT_TRUE(strova_test::WaitFor([&] { return (woven = total()) > 4 * deinterlaced + 1; }, 8000))
      << "deinterlaced " << deinterlaced << ", woven " << woven;

  double again = 0;
  ASSERT_EQ(Strova_SetDeinterlace(5), S_OK);  // any non-zero value is on
  EXPECT_TRUE(strova_test::WaitFor([&] { return (again = total()) * 4 < woven; }, 8000))
      << "woven " << woven << ", on again " << again;
}

}  // namespace
