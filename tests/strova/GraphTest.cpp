// Preview graph of the virtual card, headless: connection, stream state,
// branches and pin formats through the exports, with the pipeline running.
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
  void TearDown() override {
    Strova_SetDispMode(1);
    Strova_Uninitialize();
  }

  VideoInfo Read(int pin) {
    VideoInfo info{};
    info.colorCode = -99;
    EXPECT_EQ(Strova_GetVideoInfo(card_, &info, pin), S_OK);
    return info;
  }

  tellura::test::ScopedHome home_;
  int card_ = -1;
};

TEST_F(StrovaGraph, ConnectRunsAndDisconnectResets) {
  ASSERT_EQ(Strova_SetWindowPos(card_, 1, 2, 300, 200), E_FAIL);  // remembered for the preview
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  int value = 0;
  EXPECT_EQ(Strova_IsConnected(card_, &value), S_OK);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(Strova_GetStreamStatus(card_, &value), S_OK);
  EXPECT_EQ(value, STROVA_STATE_RUNNING);
  EXPECT_EQ(Strova_ConnectDevice(card_, 0, nullptr), VFW_E_WRONG_STATE);  // already connected

  // Overlay mode: the preview pin carries YUY2 at 640 x 480; the capture pin
  // keeps the device's own PAL format.
  const VideoInfo preview = Read(STROVA_PIN_PREVIEW);
  EXPECT_EQ(preview.colorCode, 2);
  EXPECT_EQ(preview.bmi.width, 640);
  EXPECT_EQ(preview.bmi.height, 480);
  const VideoInfo capture = Read(STROVA_PIN_CAPTURE);
  EXPECT_EQ(capture.bmi.width, 720);
  EXPECT_EQ(capture.bmi.height, 576);
  EXPECT_EQ(capture.avgTimePerFrame, 400000);  // 25 frames per second
  EXPECT_EQ(capture.colorCode, -1);            // planar 4:2:0 is none of the listed codes

  StrovaRect rect{};
  EXPECT_EQ(Strova_GetWindowPos(card_, &rect), S_OK);
  EXPECT_EQ(rect.left, 1);
  EXPECT_EQ(rect.top, 2);
  EXPECT_EQ(rect.right, 300);
  EXPECT_EQ(rect.bottom, 200);
  EXPECT_EQ(Strova_GetWindowPos(card_, nullptr), E_INVALIDARG);
  int exists = 0;
  EXPECT_EQ(Strova_IsPreviewPinExisted(card_, &exists), S_FALSE);
  EXPECT_EQ(exists, 1);

  EXPECT_EQ(Strova_DisconnectDevice(card_), S_OK);
  EXPECT_EQ(Strova_DisconnectDevice(card_), E_INVALIDARG);  // nothing left to release
  EXPECT_EQ(Strova_IsConnected(card_, &value), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(Strova_GetStreamStatus(card_, &value), E_FAIL);
  EXPECT_EQ(value, STROVA_STATE_STOPPED);
  EXPECT_EQ(Strova_GetWindowPos(card_, &rect), E_FAIL);  // window settings forgotten
  EXPECT_EQ(Strova_IsPreviewPinExisted(card_, &exists), E_FAIL);
  // A second connection after disconnecting works, and starts from defaults.
  EXPECT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  EXPECT_EQ(Strova_GetWindowPos(card_, &rect), S_OK);
  EXPECT_EQ(rect.right, 0);
}

TEST_F(StrovaGraph, StreamStateFollowsRequestsAndRejectsBadValues) {
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  int state = -1;
  for (int want : {STROVA_STATE_PAUSED, STROVA_STATE_STOPPED, STROVA_STATE_RUNNING}) {
    EXPECT_EQ(Strova_SetStreamStatus(card_, want), S_OK);
    EXPECT_EQ(Strova_GetStreamStatus(card_, &state), S_OK);
    EXPECT_EQ(state, want);
  }
  EXPECT_EQ(Strova_SetStreamStatus(card_, 3), E_FAIL);
  EXPECT_EQ(Strova_SetStreamStatus(card_, -1), E_FAIL);
  EXPECT_EQ(Strova_GetStreamStatus(card_, &state), S_OK);
  EXPECT_EQ(state, STROVA_STATE_RUNNING);  // unchanged by the refused requests
  // Headless there is no window to take the whole screen.
  EXPECT_EQ(Strova_FullScreen(card_, 1), E_NOTIMPL);
  int full = 1;
  EXPECT_EQ(Strova_IsFullSrcMode(card_, &full), S_OK);
  EXPECT_EQ(full, 0);
  EXPECT_EQ(Strova_FullScreen(card_, 0), S_OK);
  EXPECT_EQ(Strova_IsFullSrcMode(card_, nullptr), E_INVALIDARG);
}

TEST_F(StrovaGraph, PreviewBranchComesAndGoesWithConnectPin) {
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  EXPECT_EQ(Strova_ConnectPin(card_, 2), S_OK);  // already built: stop and run only
  int value = -1;
  EXPECT_EQ(Strova_GetStreamStatus(card_, &value), S_OK);
  EXPECT_EQ(value, STROVA_STATE_RUNNING);

  EXPECT_EQ(Strova_DisconnectPin(card_, 2), S_OK);
  EXPECT_EQ(Strova_IsConnected(card_, &value), S_OK);
  EXPECT_EQ(value, 0);
  StrovaRect rect{};
  EXPECT_EQ(Strova_GetWindowPos(card_, &rect), E_FAIL);  // no video window without a preview
  EXPECT_EQ(Strova_SetOwnerWnd(card_, nullptr), E_FAIL);

  EXPECT_EQ(Strova_ConnectPin(card_, 2), S_OK);
  EXPECT_EQ(Strova_IsConnected(card_, &value), S_OK);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(Strova_GetWindowPos(card_, &rect), S_OK);
  EXPECT_EQ(Strova_ConnectPin(card_, 7), S_OK);  // unknown branch: only restarts
  EXPECT_EQ(Strova_ConnectPin(-1, 2), 0);
  EXPECT_EQ(Strova_DisconnectPin(32, 2), 0);
  // A still can be taken from the rebuilt preview.
  const std::string path = home_.path("still.bmp");
  EXPECT_TRUE(strova_test::WaitFor([&] {
    Strova_SaveToBmpFile(card_, path.c_str());
    return tellura::test::ReadFile(path).size() > 54;
  }));
}

TEST_F(StrovaGraph, ConverterModePreviewsRgbAtQuarterSize) {
  Strova_SetDispMode(0);
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  const VideoInfo preview = Read(STROVA_PIN_PREVIEW);
  EXPECT_EQ(preview.colorCode, 1);
  EXPECT_EQ(preview.bmi.width, 320);
  EXPECT_EQ(preview.bmi.height, 240);
  EXPECT_EQ(preview.bmi.bitCount, 24);
  // Frames really pass the converter path.
  const std::string path = home_.path("still.bmp");
  EXPECT_TRUE(strova_test::WaitFor([&] {
    Strova_SaveToBmpFile(card_, path.c_str());
    return tellura::test::ReadFile(path).size() > 54;
  }));
}

TEST_F(StrovaGraph, SetVideoInfoMapsColourCodeByYuvModeAndRestoresState) {
  ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  VideoInfo info = Read(STROVA_PIN_CAPTURE);
  info.colorCode = 0;
  info.bmi.width = 320;
  info.bmi.height = 240;
  ASSERT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_CAPTURE), S_OK);
  int state = -1;
  EXPECT_EQ(Strova_GetStreamStatus(card_, &state), S_OK);
  EXPECT_EQ(state, STROVA_STATE_RUNNING);  // stopped for the write, then running again
  VideoInfo read = Read(STROVA_PIN_CAPTURE);
  EXPECT_EQ(read.colorCode, 0);  // RGB555
  EXPECT_EQ(read.bmi.width, 320);
  EXPECT_EQ(read.bmi.height, 240);
  EXPECT_EQ(read.bmi.bitCount, 16);
  EXPECT_EQ(Read(STROVA_PIN_PREVIEW).bmi.width, 640);  // the other pin is untouched
  EXPECT_EQ(Strova_SetVideoInfo(card_, info, 0), E_INVALIDARG);
  VideoInfo bad = info;
  bad.bmi.width = -5;
  EXPECT_EQ(Strova_SetVideoInfo(card_, bad, STROVA_PIN_CAPTURE), E_INVALIDARG);
  // A paused graph is paused again after the write.
  ASSERT_EQ(Strova_SetStreamStatus(card_, STROVA_STATE_PAUSED), S_OK);
  info.colorCode = 7;  // unlisted: the subtype stays RGB555
  info.bmi.width = 352;
  info.bmi.height = 288;
  ASSERT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_CAPTURE), S_OK);
  EXPECT_EQ(Strova_GetStreamStatus(card_, &state), S_OK);
  EXPECT_EQ(state, STROVA_STATE_PAUSED);
  read = Read(STROVA_PIN_CAPTURE);
  EXPECT_EQ(read.colorCode, 0);
  EXPECT_EQ(read.bmi.width, 352);

  ASSERT_EQ(Strova_DisconnectDevice(card_), S_OK);
  ASSERT_EQ(Strova_ConnectDevice(card_, 1, nullptr), S_OK);  // YUV mode
  info.colorCode = 0;
  ASSERT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_CAPTURE), S_OK);
  EXPECT_EQ(Read(STROVA_PIN_CAPTURE).colorCode, 2);  // RGB555 requested, YUY2 written
  info.colorCode = 1;
  ASSERT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_CAPTURE), S_OK);
  EXPECT_EQ(Read(STROVA_PIN_CAPTURE).colorCode, 1);  // RGB24 is kept in YUV mode
}

}  // namespace

namespace {

// Pin names follow the language; a language the library has no names for,
// or a malformed locale, uses the English names and still shows a picture.
class StrovaPinLanguage : public ::testing::Test {
 protected:
  void TearDown() override {
    Strova_Uninitialize();
    unsetenv("LC_ALL");
  }
  bool StillWritten(int card) {
    const std::string path = home_.path("still.bmp");
    return strova_test::WaitFor([&] {
      Strova_SaveToBmpFile(card, path.c_str());
      return tellura::test::ReadFile(path).size() > 54;
    }, 1500);
  }
  tellura::test::ScopedHome home_;
};

TEST_F(StrovaPinLanguage, OtherLanguagesUseTheEnglishNames) {
  unsetenv("DISPLAY");
  for (const char* lang : {"de_DE.UTF-8", "not a locale@@"}) {
    SCOPED_TRACE(lang);
    setenv("LC_ALL", lang, 1);
    ASSERT_EQ(Strova_Initialize(), S_OK);
    const int card = strova_test::VirtualCard();
    ASSERT_EQ(Strova_ConnectDevice(card, 0, nullptr), S_OK);
    EXPECT_TRUE(StillWritten(card));
    Strova_Uninitialize();
  }
}

TEST_F(StrovaPinLanguage, ChineseNamesConnectThePreview) {
  unsetenv("DISPLAY");
  setenv("LC_ALL", "zh_CN.UTF-8", 1);
  ASSERT_EQ(Strova_Initialize(), S_OK);
  const int card = strova_test::VirtualCard();
  ASSERT_EQ(Strova_ConnectDevice(card, 0, nullptr), S_OK);
  EXPECT_TRUE(StillWritten(card));
}

}  // namespace
