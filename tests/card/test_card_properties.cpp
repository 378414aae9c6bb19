// Standard, colour, routing and property-page operations with the status
// codes the exports return.
#include "strova/card/CardProperties.h"
#include "strova/card/VirtualCard.h"

#include <gtest/gtest.h>

#include "support/TestEnv.h"

namespace sc = strova::card;

namespace {

struct CardPropertiesTest : ::testing::Test {
  tellura::test::ScopedHome home;
  sc::VirtualCard card{{sc::kVirtualCardName, "", true, "virtual"}};
};

}  // namespace

TEST_F(CardPropertiesTest, StandardReadsMaskThenCurrent) {
  long cur = -1, avail = -1;
  ASSERT_EQ(sc::GetVideoStandard(&card, &cur, &avail), sc::kOk);
  EXPECT_EQ(cur, 16);
  EXPECT_TRUE(avail & 1);
  EXPECT_TRUE(avail & 32);
  EXPECT_EQ(sc::GetVideoStandard(&card, nullptr, nullptr), sc::kOk);
  EXPECT_EQ(sc::SetVideoStandard(&card, 1), sc::kOk);
  EXPECT_EQ(sc::GetVideoStandard(&card, &cur, nullptr), sc::kOk);
  EXPECT_EQ(cur, 1);
  EXPECT_EQ(sc::SetVideoStandard(&card, 0x12345), sc::kFail);
  EXPECT_EQ(sc::GetVideoStandard(nullptr, &cur, &avail), sc::kFail);
}

TEST_F(CardPropertiesTest, PropertyValuesAndRanges) {
  long v[6] = {};
  ASSERT_EQ(sc::GetVideoProperty(&card, 8, v), sc::kOk);  // sharpness
  EXPECT_EQ(v[0], 5000);
  EXPECT_EQ(v[2], 10000);
  EXPECT_EQ(v[5], sc::kProcAmpFlagManual);
  EXPECT_EQ(sc::GetVideoProperty(&card, 4, v), sc::kNotImpl);  // gamma: none here
  EXPECT_EQ(sc::GetVideoProperty(&card, 9, v), sc::kInvalidArg);
  EXPECT_EQ(sc::GetVideoProperty(&card, -1, v), sc::kInvalidArg);
  EXPECT_EQ(sc::GetVideoProperty(&card, 0, nullptr), sc::kInvalidArg);
  EXPECT_EQ(sc::GetVideoProperty(nullptr, 0, v), sc::kFail);
  EXPECT_EQ(sc::SetVideoProperty(&card, 3, 8000), sc::kOk);
  sc::GetVideoProperty(&card, 3, v);
  EXPECT_EQ(v[0], 8000);
  EXPECT_EQ(sc::SetVideoProperty(&card, 9, 1), sc::kInvalidArg);
}

TEST_F(CardPropertiesTest, ExtendedColourValues) {
  long b = 0;
  ASSERT_EQ(sc::SetVideoPropertyEx(&card, 0, 3, 77), sc::kOk);
  ASSERT_EQ(sc::GetVideoPropertyEx(&card, 0, 3, &b), sc::kOk);
  EXPECT_EQ(b, 77);
  EXPECT_EQ(sc::SetVideoPropertyEx(&card, 0, 4, 1), sc::kInvalidArg);
  EXPECT_EQ(sc::GetVideoPropertyEx(nullptr, 0, 0, &b), sc::kWrongState);
}

TEST_F(CardPropertiesTest, RoutingChecksBothPins) {
  EXPECT_EQ(sc::RouteInput(&card, 2, 0), sc::kOk);
  int in = -1;
  ASSERT_EQ(sc::RoutedInput(&card, 0, &in), sc::kOk);
  EXPECT_EQ(in, 2);
  EXPECT_EQ(sc::RouteInput(&card, 3, 0), sc::kInvalidArg);
  EXPECT_EQ(sc::RouteInput(&card, 0, 1), sc::kInvalidArg);
  EXPECT_EQ(sc::RouteInput(&card, -1, 0), sc::kInvalidArg);
  EXPECT_EQ(sc::RoutedInput(&card, 1, &in), sc::kInvalidArg);
  EXPECT_EQ(sc::RoutedInput(&card, 0, nullptr), sc::kInvalidArg);
}

TEST_F(CardPropertiesTest, PropertyPagesExistOnlyWithACounterpart) {
  int exists = 7;
  EXPECT_EQ(sc::PropertyPageExists(&card, 0, &exists), sc::kOk);
  EXPECT_EQ(exists, 1);
  EXPECT_EQ(sc::PropertyPageExists(&card, 8, &exists), sc::kOk);
  exists = 7;
  EXPECT_EQ(sc::PropertyPageExists(&card, 9, &exists), sc::kFail);  // no driver dialogs
  EXPECT_EQ(exists, 0);
  exists = 7;
  EXPECT_EQ(sc::PropertyPageExists(&card, 12, &exists), sc::kInvalidArg);
  EXPECT_EQ(exists, 0);
  EXPECT_EQ(sc::PropertyPageExists(&card, 0, nullptr), sc::kInvalidArg);
  EXPECT_TRUE(sc::PropertyPageStopsGraph(1));
  EXPECT_FALSE(sc::PropertyPageStopsGraph(3));
}

TEST_F(CardPropertiesTest, SignalLockFollowsTuning) {
  long locked = -1;
  ASSERT_EQ(sc::IsVideoSignalLocked(&card, &locked), sc::kOk);
  EXPECT_EQ(locked, 1);  // starts on the first station
  const uint8_t between[5] = {0xC2, 0x10, 0x00, 0xCE, 0x90};  // 217.1 MHz: no station
  card.WriteBus(between, 5);
  sc::IsVideoSignalLocked(&card, &locked);
  EXPECT_EQ(locked, 0);
  card.Route(0, 0);
  sc::IsVideoSignalLocked(&card, &locked);
  EXPECT_EQ(locked, 1);  // camera inputs always carry a signal
  EXPECT_EQ(sc::IsVideoSignalLocked(&card, nullptr), sc::kInvalidArg);
}
