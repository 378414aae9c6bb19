// The recording's counts from the card's sequence numbers and times, and the
// log written from them.
#include "strova/capture/FrameCounter.h"

#include <gtest/gtest.h>

using strova::capture::FrameCounter;

namespace {

constexpr int64_t kFrame = 40'000'000;

TEST(FrameCounter, SequenceGapsAreDropsAndNumbersThatDoNotAdvanceAreRepeats) {
  FrameCounter c;
  // Sequence numbers rule over times: the repeat carries a fresh time.
  for (int64_t seq : {0, 1, 2, 5, 6, 6, 7}) c.OnVideo(seq, seq * kFrame + (seq == 6 ? 1 : 0), kFrame);
  c.OnVideo(3, 8 * kFrame, kFrame);  // a late, out-of-order frame is a repeat, not a negative drop
  const auto n = c.Counts();
  EXPECT_EQ(n.captured, 6);
  EXPECT_EQ(n.dropped, 2);
  EXPECT_EQ(n.repeated, 2);
  const auto events = c.Events();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].atNs, 3 * kFrame) << "the time of the first frame missing";
  EXPECT_EQ(events[0].amount, 2);
}

TEST(FrameCounter, WithoutSequenceNumbersTheTimesTell) {
  FrameCounter c;
  for (int64_t t : {0, 1, 2, 4, 4, 5}) c.OnVideo(-1, 1'000'000'000 + t * kFrame + (t == 2 ? 5'000'000 : 0), kFrame);
  const auto n = c.Counts();
  EXPECT_EQ(n.dropped, 1) << "a frame late by an eighth is no drop; a missing slot is";
  EXPECT_EQ(n.repeated, 1);
  EXPECT_EQ(n.spanNs, 6 * kFrame) << "recording time starts at the first frame";
}

TEST(FrameCounter, SoundGapsBeyondJitterAreCountedAndClosingStopsCounting) {
  FrameCounter c;
  const int64_t block = 20'000'000;
  c.OnVideo(0, 0, kFrame);
  c.OnSound(0, block);
  c.OnSound(block + 5'000'000, block);  // jitter
  c.OnSound(4 * block, block);          // 35 ms missing
  c.OnSound(4 * block, block);          // overlap: no gap
  c.Close();
  c.OnSound(10 * block, block);
  c.OnVideo(9, 9 * kFrame, kFrame);
  const auto n = c.Counts();
  EXPECT_EQ(n.soundGaps, 1);
  EXPECT_EQ(n.soundGapNs, 35'000'000);
  EXPECT_EQ(n.dropped, 0);
}

TEST(FrameCounter, LogListsCountsAndEventTimes) {
  FrameCounter c;
  for (int64_t seq : {0, 1, 3}) c.OnVideo(seq, seq * kFrame, kFrame);
  const std::string log = strova::capture::FormatRecordingLog("rec.mkv", 1'800'000'000, 0, c);
  EXPECT_NE(log.find("file: rec.mkv\n"), std::string::npos);
  EXPECT_NE(log.find("end: still recording\n"), std::string::npos);
  EXPECT_NE(log.find("frames dropped: 1\n"), std::string::npos);
  EXPECT_NE(log.find("00:00:00.080 dropped 1 frame\n"), std::string::npos) << log;
  EXPECT_EQ(strova::capture::RecordingLogPath("/v/a.b/rec.avi"), "/v/a.b/rec.log");
  EXPECT_EQ(strova::capture::RecordingLogPath("/v/a.b/rec"), "/v/a.b/rec.log");
}

}  // namespace
