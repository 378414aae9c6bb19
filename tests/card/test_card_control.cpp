// The card-control operations as the library drives them: the bus messages,
// status readings and control words the card receives.
#include "strova/card/CardControl.h"
#include "strova/card/Tuner.h"
#include "strova/card/VirtualCard.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>

#include "support/TestEnv.h"

namespace sc = strova::card;

namespace {

// The virtual card with every bus and control-word access recorded, and
// optionally scripted status bytes and control words.
class RecordingCard : public sc::VirtualCard {
 public:
  RecordingCard() : VirtualCard({sc::kVirtualCardName, "", true, "virtual"}) {}
  std::vector<std::vector<uint8_t>> writes;
  std::deque<uint8_t> statuses;
  int reads = 0;
  std::optional<uint32_t> word;
  std::vector<uint32_t> wordsWritten;

  sc::Status WriteBus(const uint8_t* b, int n) override {
    writes.emplace_back(b, b + n);
    return VirtualCard::WriteBus(b, n);
  }
  sc::Status ReadBus(uint8_t* b, int n) override {
    ++reads;
    if (statuses.empty()) return VirtualCard::ReadBus(b, n);
    b[0] = statuses.front();
    if (statuses.size() > 1) statuses.pop_front();
    return sc::kOk;
  }
  sc::Status ReadControlWord(uint32_t* w) override {
    if (!word) return VirtualCard::ReadControlWord(w);
    *w = *word;
    return sc::kOk;
  }
  sc::Status WriteControlWord(uint32_t w) override {
    wordsWritten.push_back(w);
    if (word) word = w;
    return VirtualCard::WriteControlWord(w);
  }
};

struct CardControlTest : ::testing::Test {
  void SetUp() override { sc::SetTunerSettleMsForTesting(0); }
  void TearDown() override { sc::SetTunerSettleMsForTesting(-1); }
  tellura::test::ScopedHome home;
  RecordingCard card;
};

}  // namespace

TEST_F(CardControlTest, TuningWritesTheProgrammingMessageOnlyInRange) {
  EXPECT_EQ(sc::TuneFrequency(&card, 47750), 1);
  ASSERT_EQ(card.writes.size(), 1u);
  EXPECT_EQ(card.writes[0], (std::vector<uint8_t>{0xC2, 0x05, 0x6A, 0xCE, 0xA0}));
  EXPECT_EQ(sc::TuneFrequency(&card, 47749), 0);
  EXPECT_EQ(sc::TuneFrequency(&card, 865251), 0);
  EXPECT_EQ(sc::TuneAndReadLock(&card, 865251), 0);
  EXPECT_EQ(card.writes.size(), 1u);
  EXPECT_EQ(card.reads, 0);
  EXPECT_EQ(sc::TuneFrequency(&card, 865250), 1);
}

TEST_F(CardControlTest, LockReadingRule) {
  card.statuses = {0x42};
  EXPECT_EQ(sc::TuneAndReadLock(&card, 189250), 2);
  EXPECT_EQ(card.reads, 3);
  card.reads = 0;
  card.statuses = {0x41};
  EXPECT_EQ(sc::TuneAndReadLock(&card, 189250), 1);
  EXPECT_EQ(card.reads, 1);
  card.reads = 0;
  card.statuses = {0x02};
  EXPECT_EQ(sc::TuneAndReadLock(&card, 189250), 0);
  EXPECT_EQ(card.reads, 1);
  card.reads = 0;
  card.statuses = {0x42, 0x00};  // later readings do not change the result
  EXPECT_EQ(sc::TuneAndReadLock(&card, 189250), 2);
  EXPECT_EQ(card.reads, 2);
}

TEST_F(CardControlTest, SettleTimeDefaultsTo150ms) {
  sc::SetTunerSettleMsForTesting(-1);
  EXPECT_EQ(sc::TunerSettleMs(), 150);
}

TEST_F(CardControlTest, ControlWordReadModifyWrite) {
  card.word = 0x00003123;
  EXPECT_EQ(sc::ReadRemoteKey(&card), 0x123);
  EXPECT_EQ(card.wordsWritten.back(), 0x000031FFu);
  card.word = 0xF0003000;
  EXPECT_EQ(sc::SetLineSound(&card, 1), 0);
  EXPECT_EQ(card.wordsWritten.back(), 0x00002000u);
  card.word = 0x00000000;
  EXPECT_EQ(sc::SetTunerSound(&card, 0), 0);
  EXPECT_EQ(card.wordsWritten.back(), 0x00003000u);
  card.word = 0xF12321FF;
  sc::SetTunerSound(&card, 1);
  EXPECT_EQ(card.wordsWritten.back(), 0x012301FFu);
}

TEST_F(CardControlTest, NoCardDoesNothing) {
  EXPECT_EQ(sc::TuneFrequency(nullptr, 189250), 0);
  EXPECT_EQ(sc::TuneAndReadLock(nullptr, 189250), 0);
  EXPECT_EQ(sc::ReadRemoteKey(nullptr), 0);
  EXPECT_EQ(sc::SetTunerSound(nullptr, 1), 0);
  EXPECT_EQ(sc::SetLineSound(nullptr, 1), 0);
  uint8_t stored = 0xFF;
  EXPECT_EQ(sc::ChooseCamera(nullptr, 1, 5, &stored), sc::kNotImpl);
}

TEST_F(CardControlTest, CameraSwitchBytesAndTable) {
  uint8_t stored = 0xFF;
  ASSERT_EQ(sc::ChooseCamera(&card, 1, 5, &stored), sc::kOk);
  EXPECT_EQ(stored, 5);
  ASSERT_EQ(sc::ChooseCamera(&card, 1, 40, &stored), sc::kOk);
  EXPECT_EQ(stored, 0xFF);
  ASSERT_EQ(sc::ChooseCamera(&card, 1, 40, &stored), sc::kOk);
  const auto log = card.Hardware().CameraTransfers();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], (std::vector<uint8_t>{0xFE, 0xA5}));
  EXPECT_EQ(log[1], (std::vector<uint8_t>{0xFE, 0x25}));
  EXPECT_EQ(log[2], (std::vector<uint8_t>{0xFE, 0x20}));
  EXPECT_EQ(sc::ChooseCamera(&card, 4, 5, &stored), sc::kInvalidArg);
}

// A failing first step does not end the transfer: the bytes are still
// written and the second byte's write is the result.
TEST_F(CardControlTest, CameraSwitchRunsEveryStepWhenBeginFails) {
  struct BeginFails : RecordingCard {
    sc::Status CameraBegin(sc::CameraTransfer* t, uint32_t v) override {
      VirtualCard::CameraBegin(t, v);
      return sc::kFail;
    }
  } failing;
  uint8_t stored = 0xFF;
  const size_t before = failing.Hardware().CameraTransfers().size();  // the hardware is shared
  ASSERT_EQ(sc::ChooseCamera(&failing, 2, 7, &stored), sc::kOk);
  EXPECT_EQ(stored, 7);
  const auto log = failing.Hardware().CameraTransfers();
  ASSERT_EQ(log.size(), before + 1);
  EXPECT_EQ(log.back(), (std::vector<uint8_t>{0xFE, 0xC7}));
}

TEST_F(CardControlTest, FullBandScanFindsExactlyTheVirtualStations) {
  // The viewer's scan loop over the lock reading.
  std::vector<int> found;
  for (int f = sc::kTunerMinKHz; f <= sc::kTunerMaxKHz; f += 375) {
    int m = f, r = sc::TuneAndReadLock(&card, f);
    if (r == 0 || r == 1 || r == 3) {
      for (int hi = f + 62, lo = f - 375; hi - lo > 62;) {
        m = (hi + lo) / 2;
        r = sc::TuneAndReadLock(&card, m);
        if (r == 2) break;
        (r == 0 || r == 1 ? hi : lo) = m;
      }
    }
    if (r == 1 || r == 2 || r == 3) {
      found.push_back(m - 446);
      f = m + 6000;
    }
  }
  const auto& stations = card.Hardware().Stations();
  ASSERT_EQ(found.size(), stations.size());
  for (size_t i = 0; i < found.size(); ++i) {
    sc::TuneFrequency(&card, found[i]);
    EXPECT_EQ(card.Hardware().View().station, int(i));
    EXPECT_DOUBLE_EQ(card.Hardware().View().quality, 1.0) << stations[i].name;
  }
}
