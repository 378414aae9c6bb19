// The card control exports act on the card whose graph was built last, and
// the virtual card's picture follows the tuner: a station shows its
// programme, between stations there is snow.
#include "StrovaTestUtil.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr int kStation = 189250;   // a channel of the built-in station table
constexpr int kBetween = 300000;   // no station near

// Mean difference of horizontally adjacent pixels of a 24-bit BMP file: a
// programme picture has flat areas, snow changes at nearly every pixel.
double Roughness(const std::string& bmp) {
  if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M') return -1;
  auto le32 = [&](size_t at) {
    return static_cast<int32_t>(uint8_t(bmp[at]) | uint8_t(bmp[at + 1]) << 8 | uint8_t(bmp[at + 2]) << 16 |
                                uint32_t(uint8_t(bmp[at + 3])) << 24);
  };
  const int w = le32(18), h = std::abs(le32(22));
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  if (w < 2 || bmp.size() < 54 + stride * static_cast<size_t>(h)) return -1;
  double sum = 0;
  size_t n = 0;
  for (int y = 0; y < h; y += 2) {
    const char* row = bmp.data() + 54 + stride * static_cast<size_t>(y);
    for (int x = 0; x + 1 < w; ++x, ++n)
      for (int k = 0; k < 3; ++k) sum += std::abs(int(uint8_t(row[x * 3 + k])) - int(uint8_t(row[x * 3 + 3 + k])));
  }
  return n ? sum / double(n * 3) : -1;
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

  // Roughness of the current still, once one is there.
  double Still() {
    const std::string path = home_.path("still.bmp");
    double r = -1;
    strova_test::WaitFor([&] {
      Strova_SaveToBmpFile(card_, path.c_str());
      r = Roughness(tellura::test::ReadFile(path));
      return r >= 0;
    });
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

}  // namespace
