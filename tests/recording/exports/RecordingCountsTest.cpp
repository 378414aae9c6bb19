// A recording from the virtual card with faults at known frames: the counts
// the library exports and the log beside the file equal the faults.
#include "../RecordingTestUtil.h"
#include "platform/Registry.h"
#include "strova/Strova.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using recording_test::SetValue;

namespace {

TEST(RecordingCounts, FaultsOfTheCardAreCountedAndLogged) {
  tellura::test::ScopedHome home;
  unsetenv("DISPLAY");
  // Frame numbers count from the stream's start, which a recording's start
  // restarts: 3 frames dropped, 1 repeated, the sound missing at 2 s.
  setenv("TELLURA_VIRTUAL_FAULTS", "drop@20,drop@30,drop@31,repeat@40,soundgap@50", 1);
  ASSERT_EQ(Strova_Initialize(), S_OK);
  int count = 0;
  Strova_GetCardNumber(&count);
  const int card = count - 1;
  ASSERT_EQ(Strova_ConnectDevice(card, 0, nullptr), S_OK);
  StrovaRecordingCounts n{};
  EXPECT_EQ(Strova_GetRecordingCounts(card, &n), E_FAIL) << "no recording yet";
  EXPECT_EQ(Strova_GetRecordingCounts(card, nullptr), E_INVALIDARG);
  SetValue("CaptureMode", 3);
  const std::string path = home.path("counted.avi");
  int sound = 1;
  Strova_SetCaptureAudio(card, &sound);
  Strova_SetCaptureFile(card, path.c_str());
  ASSERT_EQ(Strova_StartCapture(card), 1);
  // Until the card has delivered well past the last fault.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (Strova_GetRecordingCounts(card, &n) == S_OK && n.framesCaptured < 70 &&
         std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(n.recording, 1);
  EXPECT_EQ(Strova_StopCapture(card), 1);
  ASSERT_EQ(Strova_GetRecordingCounts(card, &n), S_OK) << "the last recording's counts stay";
  EXPECT_EQ(n.recording, 0);
  EXPECT_EQ(n.framesDropped, 3);
  EXPECT_EQ(n.framesRepeated, 1);
  EXPECT_GE(n.soundGaps, 1);
  const std::string log = tellura::test::ReadFile(home.path("counted.log"));
  EXPECT_NE(log.find("frames dropped: 3\n"), std::string::npos) << log;
  // Each event with its time (the times shift when the machine stalls the card).
  EXPECT_NE(log.find(" dropped 1 frame\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" dropped 2 frames\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" repeated 1 frame\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" sound gap 40 ms\n"), std::string::npos) << log;
  Strova_Uninitialize();
  unsetenv("TELLURA_VIRTUAL_FAULTS");
}

}  // namespace
