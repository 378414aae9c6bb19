// The card's sound as the desktop hears it: played on a private PulseAudio
// server's null sink and recorded back from its monitor.
#include "StrovaTestUtil.h"
#include "support/SoundServer.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using tellura::test::PrivateSoundServer;

constexpr int kFirstStation = 55250;    // the first station of the built-in table
constexpr int kSecondStation = 189250;  // the second

const std::vector<double> kFirstNotes = tellura::test::StationNotes(330);
const std::vector<double> kSecondNotes = tellura::test::StationNotes(385);

class CardSound : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    setenv("STROVA_TEST_TUNER_SETTLE_MS", "0", 1);
    ASSERT_TRUE(server_.Start()) << tellura::test::ReadFile(home_.path("server.log"));
    ASSERT_EQ(Strova_Initialize(), S_OK);
    card_ = strova_test::VirtualCard();
    ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
    ASSERT_EQ(Strova_RouteInPinToOutPin(card_, 1, 0), S_OK);  // the tuner input
    Strova_MuteCardSound(0);
    SetTVSoundData(0, 1);
  }
  void TearDown() override {
    Strova_MuteCardSound(0);
    Strova_Uninitialize();
  }

  // This station's tune and not the other's, in half a second of sound.
  bool Hears(const std::vector<double>& notes, const std::vector<double>& other) {
    return strova_test::WaitFor([&] {
      const auto sound = server_.Record(500);
      return tellura::test::NotesShare(sound, notes) > 0.4 && tellura::test::NotesShare(sound, other) < 0.1;
    }, 10000);
  }
  bool Silent() {
    return strova_test::WaitFor([&] { return tellura::test::Rms(server_.Record(200)) < 1.0; }, 10000);
  }
  bool Listed() {
    return strova_test::WaitFor([&] {
      return server_.Pactl("list sink-inputs").find("media.name = \"Tellura TV sound\"") != std::string::npos;
    });
  }

  tellura::test::ScopedHome home_;
  PrivateSoundServer server_{home_.root()};
  int card_ = -1;
};

TEST_F(CardSound, EachStationIsHeardAsItsOwnNamedStream) {
  ASSERT_EQ(SetTvChannelFreg(0, kFirstStation), 1);
  EXPECT_TRUE(Listed());
  EXPECT_TRUE(Hears(kFirstNotes, kSecondNotes));
  ASSERT_EQ(SetTvChannelFreg(0, kSecondStation), 1);
  EXPECT_TRUE(Hears(kSecondNotes, kFirstNotes));
}

TEST_F(CardSound, LineInputAndCardMuteSilenceItAndItComesBack) {
  ASSERT_EQ(SetTvChannelFreg(0, kFirstStation), 1);
  ASSERT_TRUE(Hears(kFirstNotes, kSecondNotes));
  Strova_MuteCardSound(1);
  EXPECT_TRUE(Silent());
  Strova_MuteCardSound(0);
  EXPECT_TRUE(Hears(kFirstNotes, kSecondNotes));
  SetTVSoundData(0, 0);
  EXPECT_TRUE(Silent());
  SetTVSoundData(0, 1);
  EXPECT_TRUE(Hears(kFirstNotes, kSecondNotes));
}

TEST_F(CardSound, StreamComesBackWithTheServerAndThePictureNeverStops) {
  ASSERT_EQ(SetTvChannelFreg(0, kFirstStation), 1);
  ASSERT_TRUE(Listed());
  server_.Stop();
  const std::string still = home_.path("still.bmp");
  EXPECT_TRUE(strova_test::WaitFor([&] {
    Strova_SaveToBmpFile(card_, still.c_str());
    return !tellura::test::ReadFile(still).empty();
  }));
  int state = -1;
  EXPECT_EQ(Strova_GetStreamStatus(card_, &state), S_OK);
  EXPECT_EQ(state, STROVA_STATE_RUNNING);
  ASSERT_TRUE(server_.Start());
  EXPECT_TRUE(Listed());
  EXPECT_TRUE(Hears(kFirstNotes, kSecondNotes));
}

}  // namespace

// The sound inputs: the only card's own sound first, then the sound server's
// sources; the card owning the sound is none (not "no device") until asked.
TEST_F(CardSound, AudioInputsListTheCardsSoundFirstThenTheServers) {
  int count = 0;
  ASSERT_GE(Strova_EnumAudioCaptureDev(nullptr, &count), 0);
  ASSERT_GE(count, 2) << "the card's sound and the server's null sink monitor";
  std::vector<char> names(static_cast<size_t>(count) * STROVA_NAME_LEN);
  ASSERT_GE(Strova_EnumAudioCaptureDev(names.data(), &count), 0);
  EXPECT_STREQ(names.data(), "Quorvel Tellura Capture (virtual) Audio");
  bool server = false;
  for (int i = 1; i < count; ++i)
    server = server || std::string(&names[static_cast<size_t>(i) * STROVA_NAME_LEN]).find("Null") != std::string::npos;
  EXPECT_TRUE(server) << &names[STROVA_NAME_LEN];
  int who = -9;
  Strova_WhoIsCapturingAudio(&who);
  EXPECT_EQ(who, -1);
}
