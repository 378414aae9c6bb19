// The card-control exports end to end over a bound virtual card: argument
// checks, the scan through GetTvChannelOkay, remote keys, sound, camera
// table, property dialogs through the viewer's host.
#include "strova/Strova.h"
#include "strova/card/CardBinding.h"
#include "strova/card/CardControl.h"
#include "strova/core/Context.h"
#include "strova/card/RemoteProtocol.h"
#include "strova/card/Tuner.h"
#include "strova/card/VirtualCard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/TestEnv.h"

namespace sc = strova::card;

namespace {

// Card 0 connected to a virtual card with a built graph.
struct ExportsTest : ::testing::Test {
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
  tellura::test::ScopedHome home;
  sc::VirtualCard* card = nullptr;
  void SetUp() override {
    auto& ctx = strova::core::Context();
    ctx.cardCount = 1;
    auto& rec = ctx.cards[0];
    auto owned = std::make_unique<sc::VirtualCard>(sc::CardInfo{sc::kVirtualCardName, "", true, "virtual"});
    card = owned.get();
    rec.device = std::move(owned);
    rec.pipeline = gst_pipeline_new(nullptr);
    rec.captureFilter = gst_bin_new("Video Capture Device");
    rec.cardFilter = gst_bin_new("Quorvel Zento Filter");
    gst_bin_add_many(GST_BIN(rec.pipeline), rec.captureFilter, rec.cardFilter, nullptr);
    rec.graphState = STROVA_STATE_RUNNING;
    ctx.lastConnectedCard = 0;
    sc::SetTunerSettleMsForTesting(0);
  }
  void TearDown() override {
    auto& ctx = strova::core::Context();
    auto& rec = ctx.cards[0];
    gst_element_set_state(rec.pipeline, GST_STATE_NULL);
    gst_object_unref(rec.pipeline);
    rec.pipeline = rec.captureFilter = rec.cardFilter = nullptr;
    rec.device.reset();
    ctx.lastConnectedCard = -1;
    sc::SetTunerSettleMsForTesting(-1);
    Strova_SetPropertyFrameHost(nullptr, nullptr);
  }
  void Disconnect() {
    auto& rec = strova::core::Context().cards[0];
    gst_object_unref(rec.pipeline);
    rec.pipeline = rec.captureFilter = rec.cardFilter = nullptr;
    strova::core::Context().lastConnectedCard = -1;
    rec.pipeline = gst_pipeline_new(nullptr);  // for TearDown
    rec.device.reset();
  }
};

struct HostCall {
  int calls = 0, page = -1, stateDuring = -1;
  std::string caption;
};

STROVA_STATUS RecordingHost(void* user, int32_t card, int32_t page, void*, const char* caption) {
  auto* h = static_cast<HostCall*>(user);
  ++h->calls;
  h->page = page;
  h->caption = caption;
  h->stateDuring = strova::core::Context().cards[size_t(card)].graphState;
  return 0;
}

}  // namespace

TEST_F(ExportsTest, WithoutAConnectedCardTheCardControlExportsReturnZero) {
  Disconnect();
  EXPECT_EQ(SetTvChannelFreg(0, 189250), 0);
  EXPECT_EQ(GetTvChannelOkay(0, 189250), 0);
  EXPECT_EQ(GetRemoteData(), 0);
  EXPECT_EQ(SetTVSoundData(0, 1), 0);
  EXPECT_EQ(SetADSoundData(0, 1), 0);
  EXPECT_EQ(Strova_GetDeviceID(), 1);
  int32_t locked = 0;
  EXPECT_EQ(Strova_IsVideoSignalLocked(0, &locked), E_FAIL);
  EXPECT_EQ(Strova_ChooseCamera_Ex(0, 0, 1), E_NOTIMPL);
  int32_t v[6];
  EXPECT_EQ(Strova_GetVideoPropertyValue(0, 0, v), E_FAIL);
  EXPECT_EQ(Strova_SetVideoPropertyValue_Ex(0, 0, 0, 0), VFW_E_WRONG_STATE);
}

TEST_F(ExportsTest, InvalidCardIndexIsRefused) {
  int32_t v[6], x = 0;
  int32_t ix = 0;
  for (int bad : {-1, 1, 32}) {
    EXPECT_EQ(Strova_IsVideoSignalLocked(bad, &x), sc::kInvalidArg);
    EXPECT_EQ(Strova_GetVideoStandard(bad, &x, &x), sc::kInvalidArg);
    EXPECT_EQ(Strova_SetVideoStandard(bad, 16), sc::kInvalidArg);
    EXPECT_EQ(Strova_GetVideoPropertyValue(bad, 0, v), sc::kInvalidArg);
    EXPECT_EQ(Strova_IsPropertyExist(bad, 0, &ix), sc::kInvalidArg);
    EXPECT_EQ(Strova_RouteInPinToOutPin(bad, 0, 0), sc::kInvalidArg);
    EXPECT_EQ(Strova_ChooseCamera_Ex(bad, 0, 1), sc::kInvalidArg);
  }
  EXPECT_EQ(Strova_IsVideoSignalLocked(0, nullptr), sc::kInvalidArg);
}

TEST_F(ExportsTest, ScanThroughTheExportsFindsEveryStation) {
  int found = 0;
  for (int f = 47750; f <= 865250; f += 375) {
    int m = f, r = GetTvChannelOkay(0, f);
    if (r == 0 || r == 1 || r == 3)
      for (int hi = f + 62, lo = f - 375; hi - lo > 62;) {
        m = (hi + lo) / 2;
        r = GetTvChannelOkay(0, m);
        if (r == 2) break;
        (r == 0 || r == 1 ? hi : lo) = m;
      }
    if (r == 1 || r == 2 || r == 3) {
      ++found;
      ASSERT_EQ(SetTvChannelFreg(0, m - 446), 1);
      int32_t locked = 0;
      ASSERT_EQ(Strova_IsVideoSignalLocked(0, &locked), sc::kOk);
      EXPECT_EQ(locked, 1);
      f = m + 6000;
    }
  }
  EXPECT_EQ(found, int(card->Hardware().Stations().size()));
}

TEST_F(ExportsTest, RemoteKeysAndSoundThroughTheControlWord) {
  card->Hardware().ReceiveKey(50);
  EXPECT_EQ(GetRemoteData(), 50);
  EXPECT_EQ(GetRemoteData(), 0x1FF);
  EXPECT_EQ(SetADSoundData(0, 1), 0);
  EXPECT_EQ(card->Hardware().View().sound, sc::kSoundLine);
  EXPECT_EQ(SetTVSoundData(0, 0), 0);
  EXPECT_EQ(card->Hardware().View().sound, sc::kSoundMute);
  EXPECT_EQ(SetTVSoundData(0, 1), 0);
  EXPECT_EQ(card->Hardware().View().sound, sc::kSoundTuner);
}

TEST_F(ExportsTest, CameraSwitchKeepsTheTable) {
  EXPECT_EQ(Strova_ChooseCamera_Ex(0, 1, 5), sc::kOk);
  EXPECT_EQ(*sc::CameraTableEntry(0, 1), 5);
  int32_t b = 0;
  EXPECT_EQ(Strova_GetVideoPropertyValue_Ex(0, 0, 4, &b), E_INVALIDARG);
  EXPECT_EQ(Strova_SetVideoPropertyValue_Ex(0, 0, 2, 42), S_OK);
  EXPECT_EQ(Strova_GetVideoPropertyValue_Ex(0, 0, 2, &b), S_OK);
  EXPECT_EQ(b, 42);
  EXPECT_EQ(Strova_ChooseCamera_Ex(0, 1, 40), sc::kOk);
  EXPECT_EQ(*sc::CameraTableEntry(0, 1), 0xFF);
  EXPECT_EQ(Strova_ChooseCamera_Ex(0, 1, 40), sc::kOk);
  EXPECT_EQ(Strova_ChooseCamera_Ex(0, 4, 1), sc::kInvalidArg);
  const auto log = card->Hardware().CameraTransfers();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2], (std::vector<uint8_t>{0xFE, 0x20}));
}

TEST_F(ExportsTest, StandardAndProperties) {
  int32_t cur = 0, avail = 0, v[6] = {};
  ASSERT_EQ(Strova_GetVideoStandard(0, &cur, &avail), sc::kOk);
  EXPECT_EQ(cur, 16);
  EXPECT_EQ(Strova_SetVideoStandard(0, 1), sc::kOk);
  EXPECT_EQ(Strova_SetVideoStandard(0, 3), sc::kFail);
  Strova_GetVideoStandard(0, &cur, nullptr);
  EXPECT_EQ(cur, 1);
  EXPECT_EQ(Strova_SetVideoPropertyValue(0, 0, 9000), sc::kOk);
  ASSERT_EQ(Strova_GetVideoPropertyValue(0, 0, v), sc::kOk);
  EXPECT_EQ(v[0], 9000);
  EXPECT_EQ(Strova_GetVideoPropertyValue(0, 9, v), sc::kInvalidArg);
  EXPECT_EQ(Strova_RouteInPinToOutPin(0, 2, 0), sc::kOk);
  int32_t in = -1;
  EXPECT_EQ(Strova_WhatInPinRouteToOutPin(0, 0, &in), sc::kOk);
  EXPECT_EQ(in, 2);
  EXPECT_EQ(Strova_RouteInPinToOutPin(0, 3, 0), sc::kInvalidArg);
}

TEST_F(ExportsTest, PropertyDialogsGoThroughTheViewersHost) {
  EXPECT_EQ(Strova_DisplayPropertyDialogs(0, 1, nullptr, "Format"), sc::kFail);  // no host
  HostCall host;
  Strova_SetPropertyFrameHost(RecordingHost, &host);
  ASSERT_EQ(Strova_DisplayPropertyDialogs(0, 1, nullptr, "Format"), 0);
  EXPECT_EQ(host.page, 1);
  EXPECT_EQ(host.caption, "Format");
  EXPECT_EQ(host.stateDuring, STROVA_STATE_STOPPED);  // stopped while shown
  EXPECT_EQ(strova::core::Context().cards[0].graphState, STROVA_STATE_RUNNING);  // and after
  ASSERT_EQ(Strova_DisplayPropertyDialogs(0, 3, nullptr, nullptr), 0);
  EXPECT_EQ(host.stateDuring, STROVA_STATE_RUNNING);  // the crossbar page does not stop it
  EXPECT_EQ(host.caption, "");
  EXPECT_EQ(Strova_DisplayPropertyDialogs(0, 9, nullptr, "x"), sc::kFail);  // no counterpart
  EXPECT_EQ(host.calls, 2);
  const std::string longCaption = std::string(259, 'a') + "\xC3\xA9";  // cut inside "é"
  Strova_DisplayPropertyDialogs(0, 0, nullptr, longCaption.c_str());
  EXPECT_EQ(host.caption, std::string(259, 'a'));
}

// While the card records, the pages that would stop the graph are refused
// (stopping would end the file); the others still open.
TEST_F(ExportsTest, GraphStoppingPagesAreRefusedWhileRecording) {
  HostCall host;
  Strova_SetPropertyFrameHost(RecordingHost, &host);
  strova::core::Context().cards[0].capturing = 1;
  EXPECT_EQ(Strova_DisplayPropertyDialogs(0, 1, nullptr, "Format"), VFW_E_WRONG_STATE);
  EXPECT_EQ(Strova_DisplayPropertyDialogs(0, 2, nullptr, "Format"), VFW_E_WRONG_STATE);
  EXPECT_EQ(host.calls, 0);
  EXPECT_EQ(Strova_DisplayPropertyDialogs(0, 0, nullptr, "Device"), 0);
  EXPECT_EQ(host.calls, 1);
  strova::core::Context().cards[0].capturing = 0;
}

// With the tuner's real settle times the quick probes wait just long enough:
// they answer as GetTvChannelOkay does after its 150 ms, on and off station.
TEST_F(ExportsTest, QuickProbesAnswerAsTheFullSettleDoes) {
  sc::SetTunerSettleMsForTesting(-1);
  // Frequency, and whether a carrier is within the lock range (1 MHz) there.
  const std::pair<int, int> probes[] = {{55250 + 446, 1}, {55250 + 646, 1}, {55250 + 246, 1}, {55250 + 1500, 0},
                                        {300000, 0}, {865250, 0}, {865251, 0}};
  for (const auto& [f, signal] : probes) {
    const int full = GetTvChannelOkay(0, f);
    SetTvChannelFreg(0, 47750);  // every probe starts from another frequency
    EXPECT_EQ(Strova_GetTvChannelOkayQuick(0, f), full) << f;
    SetTvChannelFreg(0, 47750);
    EXPECT_EQ(Strova_TunerSignal(0, f), signal) << f;
  }
}

TEST_F(ExportsTest, InputNamesAreCutAndBounded) {
  char name[8];
  ASSERT_EQ(Strova_GetInputName(0, 1, name, sizeof name), sc::kOk);
  EXPECT_STREQ(name, "Video1-");  // "Video1-In (TV)" cut to the buffer
  ASSERT_EQ(Strova_GetInputName(0, 2, name, 4), sc::kOk);
  EXPECT_STREQ(name, "Vid");
  EXPECT_EQ(Strova_GetInputName(0, 3, name, sizeof name), sc::kFail);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(Strova_GetInputName(0, 0, nullptr, 8), sc::kInvalidArg);
  EXPECT_EQ(Strova_GetInputName(0, 0, name, 0), sc::kInvalidArg);
}
