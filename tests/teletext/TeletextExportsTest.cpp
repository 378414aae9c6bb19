// The VBI exports on the virtual card: decoding follows the tuner, pages are
// cached per channel, and a channel without teletext says so.
#include "strova/StrovaTestUtil.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

constexpr int kNordkanal = 189250;  // teletext, 16:9
constexpr int kBetween = 300000;    // snow

std::string Row(const StrovaTeletextPage& p, int row) {
  std::string s;
  for (const auto& c : p.cells[row]) s += c.unicode < 0x80 ? char(c.unicode) : '?';
  return s;
}

class TeletextExports : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    setenv("STROVA_TEST_TUNER_SETTLE_MS", "0", 1);
    ASSERT_EQ(Strova_Initialize(), S_OK);
    card_ = strova_test::VirtualCard();
  }
  void TearDown() override { Strova_Uninitialize(); }
  bool StateBecomes(int32_t want) {
    return strova_test::WaitFor([&] {
      int32_t s = -1;
      return Strova_GetVbiState(card_, &s) == S_OK && s == want;
    }, 8000);
  }
  tellura::test::ScopedHome home_;
  int card_ = -1;
};

TEST_F(TeletextExports, FollowTheTunerAndCachePerChannel) {
  StrovaTeletextPage p;
  EXPECT_EQ(Strova_StartVbi(card_), E_FAIL);  // not connected
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  ASSERT_EQ(SetTvChannelFreg(0, kNordkanal), 1);
  ASSERT_EQ(Strova_StartVbi(card_), S_OK);
  EXPECT_EQ(Strova_StartVbi(card_), S_FALSE);
  ASSERT_TRUE(StateBecomes(STROVA_VBI_TELETEXT));
  ASSERT_TRUE(strova_test::WaitFor([&] { return Strova_GetTeletextPage(card_, 100, 0, &p) == S_OK; }));
  EXPECT_NE(Row(p, 1).find("NORDKANAL TEXT"), std::string::npos) << Row(p, 1);
  int32_t subs[8] = {};
  ASSERT_TRUE(strova_test::WaitFor([&] { return Strova_GetTeletextSubpages(card_, 101, subs, 8) == 3; }));
  EXPECT_EQ(subs[2], 3);
  char header[64], clock[4];  // the clock cut to fit, still terminated
  ASSERT_EQ(Strova_GetTeletextHeader(card_, header, sizeof header, clock, sizeof clock), S_OK);
  EXPECT_EQ(std::string(header).substr(0, 9), "NORDKANAL");
  EXPECT_EQ(std::string(clock).size(), 3u);
  int32_t aspect = -1;
  ASSERT_TRUE(strova_test::WaitFor([&] {
    return Strova_GetWssAspect(card_, &aspect) == S_OK && aspect == STROVA_WSS_16_9;
  }));

  ASSERT_EQ(SetTvChannelFreg(0, kBetween), 1);
  ASSERT_TRUE(StateBecomes(STROVA_VBI_NO_TELETEXT));
  EXPECT_EQ(Strova_GetTeletextPage(card_, 100, 0, &p), S_FALSE);
  ASSERT_EQ(SetTvChannelFreg(0, kNordkanal), 1);
  // Back on the channel, its page is there before a new cycle could arrive.
  ASSERT_TRUE(strova_test::WaitFor([&] { return Strova_GetTeletextPage(card_, 100, 0, &p) == S_OK; }, 200));

  EXPECT_EQ(Strova_GetTeletextPage(card_, 99, 0, &p), E_INVALIDARG);
  EXPECT_EQ(Strova_GetTeletextPage(card_, 100, 80, &p), E_INVALIDARG);
  EXPECT_EQ(Strova_GetTeletextPage(-1, 100, 0, &p), E_INVALIDARG);
  EXPECT_EQ(Strova_StopVbi(card_), S_OK);
  EXPECT_EQ(Strova_GetTeletextPage(card_, 100, 0, &p), E_FAIL);
  int32_t state = -1;
  EXPECT_EQ(Strova_GetVbiState(card_, &state), S_OK);
  EXPECT_EQ(state, STROVA_VBI_OFF);
}

}  // namespace
