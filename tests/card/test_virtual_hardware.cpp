// The virtual card's simulated hardware: tuner message decoding, status
// byte windows, control word, camera switch, standards and colour.
#include "strova/card/Stations.h"
#include "strova/card/Tuner.h"
#include "strova/card/VirtualCard.h"
#include "strova/card/VirtualPicture.h"

#include <gtest/gtest.h>

#include "support/TestEnv.h"

namespace sc = strova::card;

namespace {

sc::TunerMessage Msg(int kHz) {
  sc::TunerMessage m{};
  EXPECT_TRUE(sc::BuildTunerMessage(kHz, m)) << kHz;
  return m;
}

std::vector<uint8_t> Bytes(const sc::TunerMessage& m) { return {m.begin(), m.end()}; }

uint8_t StatusAfterTuning(sc::VirtualHardware& hw, int kHz) {
  const auto m = Msg(kHz);
  EXPECT_EQ(hw.WriteBus(m.data(), 5), sc::kOk);
  uint8_t b = sc::kTunerAddress;
  EXPECT_EQ(hw.ReadBus(&b, 1), sc::kOk);
  return b;
}

}  // namespace

TEST(TunerMessage, DividerAndBandBytesAtTheEdges) {
  EXPECT_EQ(Bytes(Msg(47750)), (std::vector<uint8_t>{0xC2, 0x05, 0x6A, 0xCE, 0xA0}));
  EXPECT_EQ(Bytes(Msg(55250)), (std::vector<uint8_t>{0xC2, 0x05, 0xE2, 0xCE, 0xA0}));
  EXPECT_EQ(Bytes(Msg(168250)), (std::vector<uint8_t>{0xC2, 0x0C, 0xF2, 0xCE, 0x90}));
  EXPECT_EQ(Bytes(Msg(865250)), (std::vector<uint8_t>{0xC2, 0x38, 0x82, 0xCE, 0x30}));
  EXPECT_EQ(Msg(168249)[4], 0xA0);
  EXPECT_EQ(Msg(168249)[1], 0x0C);
  EXPECT_EQ(Msg(168249)[2], 0xF2);
  EXPECT_EQ(Msg(456249)[4], 0x90);
  EXPECT_EQ(Msg(456250)[4], 0x30);
  EXPECT_EQ(Msg(456249)[1] << 8 | Msg(456249)[2], 0x1EF2);
  EXPECT_EQ(Msg(456250)[1] << 8 | Msg(456250)[2], 0x1EF2);
  sc::TunerMessage untouched{1, 2, 3, 4, 5};
  EXPECT_FALSE(sc::BuildTunerMessage(47749, untouched));
  EXPECT_FALSE(sc::BuildTunerMessage(865251, untouched));
  EXPECT_EQ(untouched[0], 1);
}

TEST(TunerMessage, DecodesBackToTheCarrierWithinOneStep) {
  for (int kHz : {47750, 55250, 189250, 471250, 865250}) {
    const auto m = Msg(kHz);
    const int64_t hz = sc::DecodeTunerMessageHz(m.data(), 5);
    EXPECT_LE(hz, int64_t{kHz} * 1000);
    EXPECT_GT(hz, int64_t{kHz} * 1000 - 62500);
  }
  const uint8_t wrongAddress[5] = {0xC0, 5, 0x6A, 0xCE, 0xA0};
  EXPECT_LT(sc::DecodeTunerMessageHz(wrongAddress, 5), 0);
  EXPECT_LT(sc::DecodeTunerMessageHz(Msg(47750).data(), 4), 0);
}

TEST(VirtualTuner, StatusWindowsAroundAStation) {
  sc::VirtualHardware hw({{189250, "A", 440, 0}});
  // Centre of the AFC window: a scan stores it minus 446 kHz.
  EXPECT_EQ(StatusAfterTuning(hw, 189250 + 446), 0x42);
  EXPECT_EQ(StatusAfterTuning(hw, 189250 + 446 + 200), 0x41);  // a little high
  EXPECT_EQ(StatusAfterTuning(hw, 189250 + 446 + 600), 0x40);  // too high
  EXPECT_EQ(StatusAfterTuning(hw, 189250 + 446 - 200), 0x43);  // a little low
  EXPECT_EQ(StatusAfterTuning(hw, 189250 + 446 - 600), 0x44);  // too low
  EXPECT_EQ(StatusAfterTuning(hw, 189250 + 5000), 0x00);       // no station
  uint8_t other = 0xC0;
  EXPECT_NE(hw.ReadBus(&other, 1), sc::kOk);
  const uint8_t junk[3] = {0x10, 1, 2};
  EXPECT_NE(hw.WriteBus(junk, 3), sc::kOk);
  EXPECT_NE(hw.WriteBus(nullptr, 5), sc::kOk);
}

// Until the loop has locked the status shows no lock; until the AFC has
// settled it shows the lock without the window.
TEST(VirtualTuner, StatusFollowsTheSettleTimes) {
  sc::VirtualHardware hw(sc::BuiltinStations());
  const auto m = Msg(55250 + 446);
  ASSERT_EQ(hw.WriteBus(m.data(), 5), sc::kOk);
  auto status = [&hw] {
    uint8_t b = sc::kTunerAddress;
    hw.ReadBus(&b, 1);
    return b;
  };
  hw.SetSettleTimes(60000, 0);
  EXPECT_EQ(status(), 0);
  hw.SetSettleTimes(0, 60000);
  EXPECT_EQ(status(), sc::kStatusLock);
  hw.SetSettleTimes(0, 0);
  EXPECT_EQ(status(), sc::kStatusLock | sc::kStatusCentred);
}

TEST(VirtualTuner, PictureDegradesSmoothlyOffStation) {
  sc::VirtualHardware hw({{189250, "A", 440, 0}});
  const int64_t s = 189250000;
  EXPECT_DOUBLE_EQ(hw.QualityAt(s), 1.0);
  EXPECT_DOUBLE_EQ(hw.QualityAt(s - 446000 + 446000), 1.0);
  double last = 1.0;
  for (int64_t off = 500000; off <= 2600000; off += 100000) {
    const double q = hw.QualityAt(s + off);
    EXPECT_LE(q, last);
    EXPECT_LT(last - q, 0.25) << "jump at " << off;
    last = q;
  }
  EXPECT_EQ(last, 0.0);
}

TEST(VirtualTuner, ScanLoopFindsExactlyTheStations) {
  sc::VirtualHardware hw(sc::BuiltinStations());
  auto probe = [&](int f) -> int {
    sc::TunerMessage m{};
    if (!sc::BuildTunerMessage(f, m)) return 0;
    hw.WriteBus(m.data(), 5);
    uint8_t b = sc::kTunerAddress;
    hw.ReadBus(&b, 1);
    return (b & sc::kStatusLock) ? (b & 7) : 0;
  };
  // The viewer's scan: step 375, bisect in [f-375, f+62], store m - 446.
  std::vector<int> found;
  for (int f = 47750; f <= 865250; f += 375) {
    int m = f, r = probe(f);
    if (r == 0 || r == 1 || r == 3) {
      int hi = f + 62, lo = f - 375;
      while (hi - lo > 62) {
        m = (hi + lo) / 2;
        r = probe(m);
        if (r == 2) break;
        if (r == 0 || r == 1) hi = m; else lo = m;
      }
    }
    if (r == 1 || r == 2 || r == 3) {
      found.push_back(m - 446);
      f = m + 6000;
    }
  }
  const auto stations = sc::BuiltinStations();
  ASSERT_EQ(found.size(), stations.size());
  for (size_t i = 0; i < found.size(); ++i) {
    EXPECT_NEAR(found[i], stations[i].kHz, 250) << stations[i].name;
    EXPECT_DOUBLE_EQ(hw.QualityAt(int64_t{found[i]} * 1000), 1.0);
  }
}

TEST(VirtualControlWord, KeysLatchUntilAcknowledged) {
  sc::VirtualHardware hw({});
  EXPECT_EQ(hw.ReadControlWord() & sc::kKeyMask, sc::kNoKey);
  hw.ReceiveKey(18);
  hw.ReceiveKey(0xFF);
  EXPECT_EQ(hw.ReadControlWord() & sc::kKeyMask, 18u);
  EXPECT_EQ(hw.ReadControlWord() & sc::kKeyMask, 18u);  // not yet acknowledged
  hw.WriteControlWord(hw.ReadControlWord() | sc::kKeyMask);
  EXPECT_EQ(hw.ReadControlWord() & sc::kKeyMask, 0xFFu);
  hw.WriteControlWord(0xF0003123);
  EXPECT_EQ(hw.ReadControlWord(), 0xF0003123u);  // other bits kept as written
  EXPECT_EQ(hw.View().sound, sc::kSoundMute);
}

TEST(VirtualControlWord, KeyQueueIsBounded) {
  sc::VirtualHardware hw({});
  for (int i = 0; i < 10000; ++i) hw.ReceiveKey(uint16_t(i % 200));
  int seen = 0;
  while ((hw.ReadControlWord() & sc::kKeyMask) != sc::kNoKey) {
    hw.WriteControlWord(sc::kNoKey);
    ++seen;
  }
  EXPECT_EQ(seen, int(sc::VirtualHardware::kKeyQueueMax));
}

TEST(VirtualCardDevice, CameraStandardColourAndRouting) {
  tellura::test::ScopedHome home;
  sc::VirtualCard card({sc::kVirtualCardName, "", true, "virtual"});
  sc::CameraTransfer t;
  EXPECT_NE(card.CameraWriteByte(&t, 0xFE), sc::kOk);  // not begun
  ASSERT_EQ(card.CameraBegin(&t, 0), sc::kOk);
  ASSERT_EQ(card.CameraStart(&t), sc::kOk);
  card.CameraWriteByte(&t, 0xFE);
  card.CameraWriteByte(&t, 0xA5);
  ASSERT_EQ(card.CameraStop(&t), sc::kOk);
  ASSERT_EQ(card.Hardware().CameraTransfers().size(), 1u);
  EXPECT_EQ(card.Hardware().CameraTransfers()[0], (std::vector<uint8_t>{0xFE, 0xA5}));

  long std = 0;
  EXPECT_EQ(card.GetStandard(&std), sc::kOk);
  EXPECT_EQ(std, sc::kStdPalB);
  EXPECT_EQ(card.SetStandard(sc::kStdNtscM), sc::kOk);
  EXPECT_EQ(sc::ModeFor(card.Hardware().Standard()).height, 480);
  EXPECT_NE(card.SetStandard(0), sc::kOk);
  EXPECT_NE(card.SetStandard(sc::kStdPalB | sc::kStdPalD), sc::kOk);
  EXPECT_NE(card.SetStandard(0x40000000), sc::kOk);

  sc::PropertyRange r;
  ASSERT_EQ(card.GetPropertyRange(sc::ProcAmp::Sharpness, &r), sc::kOk);
  EXPECT_EQ(r.max, 10000);
  EXPECT_EQ(r.def, 5000);
  EXPECT_NE(card.GetPropertyRange(sc::ProcAmp::Gamma, &r), sc::kOk);
  EXPECT_EQ(card.SetProperty(sc::ProcAmp::Hue, 7000, 2), sc::kOk);
  EXPECT_NE(card.SetProperty(sc::ProcAmp::Hue, 10001, 2), sc::kOk);
  long v = 0, flags = 0;
  EXPECT_EQ(card.GetProperty(sc::ProcAmp::Hue, &v, &flags), sc::kOk);
  EXPECT_EQ(v, 7000);

  EXPECT_EQ(card.Route(2, 0), sc::kOk);
  int in = -1;
  EXPECT_EQ(card.RoutedInput(0, &in), sc::kOk);
  EXPECT_EQ(in, 2);
  EXPECT_EQ(card.Route(3, 0), sc::kInvalidArg);
  EXPECT_EQ(card.Route(0, 1), sc::kInvalidArg);
  EXPECT_EQ(card.InputName(0), "S-Video");
  EXPECT_EQ(card.InputName(2), "Video2-In");
}

TEST(Stations, FileParsingSkipsBadLines) {
  const auto s = sc::ParseStations(
      "# my stations\n"
      "189250 Home TV\n"
      "not a line\n"
      "10 too low\n"
      "999999999 too high\n"
      "190250 too close to the first\n"
      "55250\n"
      "\n");
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].kHz, 55250);
  EXPECT_EQ(s[1].name, "Home TV");
  EXPECT_NE(s[0].toneHz, s[1].toneHz);
}

TEST(Stations, StationsFileReplacesTheBuiltinTable) {
  tellura::test::ScopedHome home;
  EXPECT_EQ(sc::LoadStations().size(), sc::BuiltinStations().size());
  tellura::test::WriteFile(sc::StationsFilePath(), "471250 ONLY ONE\n");
  const auto s = sc::LoadStations();
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].kHz, 471250);
}
