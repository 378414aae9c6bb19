// Preview graph of the virtual card, headless: connection, stream state and
// pin formats through the exports, with the pipeline really running.
#include "StrovaTestUtil.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class StrovaGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");  // headless renderer
    ASSERT_EQ(Strova_Initialize(), S_OK);
    card_ = strova_test::VirtualCard();
    ASSERT_GE(card_, 0);
  }
  void TearDown() override { Strova_Uninitialize(); }

  tellura::test::ScopedHome home_;
  int card_ = -1;
};

TEST_F(StrovaGraph, ConnectRunsAndDisconnectResets) {
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  int value = 0;
  EXPECT_EQ(Strova_IsConnected(card_, &value), S_OK);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(Strova_GetStreamStatus(card_, &value), S_OK);
  EXPECT_EQ(value, STROVA_STATE_RUNNING);
  EXPECT_EQ(Strova_ConnectDevice(card_, 0, nullptr), VFW_E_WRONG_STATE);  // already connected

  VideoInfo info{};
  ASSERT_TRUE(strova_test::ReadInfo(card_, &info));
  EXPECT_EQ(info.bmi.width, 720);
  EXPECT_EQ(info.bmi.height, 576);
  EXPECT_EQ(info.avgTimePerFrame, 400000);  // 25 frames per second

  EXPECT_EQ(Strova_SetWindowPos(card_, 1, 2, 300, 200), S_OK);
  StrovaRect rect{};
  EXPECT_EQ(Strova_GetWindowPos(card_, &rect), S_OK);
  EXPECT_EQ(rect.left, 1);
  EXPECT_EQ(rect.bottom, 200);
  EXPECT_EQ(Strova_GetWindowPos(card_, nullptr), E_INVALIDARG);

  EXPECT_EQ(Strova_DisconnectDevice(card_), S_OK);
  EXPECT_EQ(Strova_IsConnected(card_, &value), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(Strova_GetStreamStatus(card_, &value), S_OK);
  EXPECT_EQ(value, STROVA_STATE_STOPPED);
  EXPECT_EQ(Strova_GetWindowPos(card_, &rect), E_FAIL);  // window settings forgotten
  // A second connection after disconnecting works.
  EXPECT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
}

TEST_F(StrovaGraph, StreamStateFollowsRequestsAndRejectsBadValues) {
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  int state = -1;
  for (int want : {STROVA_STATE_PAUSED, STROVA_STATE_STOPPED, STROVA_STATE_RUNNING}) {
    EXPECT_EQ(Strova_SetStreamStatus(card_, want), S_OK);
    EXPECT_EQ(Strova_GetStreamStatus(card_, &state), S_OK);
    EXPECT_EQ(state, want);
  }
  EXPECT_EQ(Strova_SetStreamStatus(card_, 3), E_INVALIDARG);
  EXPECT_EQ(Strova_SetStreamStatus(card_, -1), E_INVALIDARG);
  EXPECT_EQ(Strova_GetStreamStatus(card_, &state), S_OK);
  EXPECT_EQ(state, STROVA_STATE_RUNNING);  // unchanged by the refused requests
  EXPECT_EQ(Strova_FullScreen(card_, 1), E_NOTIMPL);
  int full = 1;
  EXPECT_EQ(Strova_IsFullSrcMode(card_, &full), S_OK);
  EXPECT_EQ(full, 0);
  EXPECT_EQ(Strova_FullScreen(card_, 0), S_OK);
}

TEST_F(StrovaGraph, SetVideoInfoMapsColourCodeByYuvModeAndRestoresState) {
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  VideoInfo info{};
  ASSERT_TRUE(strova_test::ReadInfo(card_, &info));
  info.colorCode = 0;
  info.bmi.width = 320;
  info.bmi.height = 240;
  ASSERT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_CAPTURE), S_OK);
  int state = -1;
  EXPECT_EQ(Strova_GetStreamStatus(card_, &state), S_OK);
  EXPECT_EQ(state, STROVA_STATE_RUNNING);  // stopped for the write, then running again
  VideoInfo read{};
  ASSERT_TRUE(strova_test::WaitFor([&] { return strova_test::ReadInfo(card_, &read) && read.bmi.width == 320; }));
  EXPECT_EQ(read.colorCode, 0);  // RGB555
  EXPECT_EQ(read.bmi.height, 240);
  EXPECT_EQ(read.bmi.bitCount, 16);
  EXPECT_EQ(Strova_SetVideoInfo(card_, info, 0), E_INVALIDARG);
  VideoInfo bad = info;
  bad.bmi.width = -5;
  EXPECT_EQ(Strova_SetVideoInfo(card_, bad, STROVA_PIN_CAPTURE), E_INVALIDARG);

  ASSERT_EQ(Strova_DisconnectDevice(card_), S_OK);
  ASSERT_EQ(Strova_ConnectDevice(card_, 1, nullptr), S_OK);  // YUV mode
  ASSERT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_CAPTURE), S_OK);
  ASSERT_TRUE(strova_test::WaitFor([&] { return strova_test::ReadInfo(card_, &read) && read.bmi.width == 320; }));
  EXPECT_EQ(read.colorCode, 2);  // RGB555 requested, YUY2 written
}

}  // namespace
