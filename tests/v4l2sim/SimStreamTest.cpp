// The simulated card on its own, streamed by GStreamer's unmodified v4l2src
// in a child process: every personality, its formats and field orders, and
// a device that goes away while streaming.
#include "SimTestUtil.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using v4l2sim_test::Launch;

struct Kind {
  const char* name;
  const char* caps;  // a format the personality gives
};

class SimStream : public ::testing::TestWithParam<Kind> {};

TEST_P(SimStream, StreamsFiftyBuffersThroughV4l2src) {
  const Kind& k = GetParam();
  const auto r = Launch(k.name, "", std::string("v4l2src device=/dev/video0 num-buffers=50 ! '") + k.caps + "' ! fakesink");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Got EOS"), std::string::npos) << r.output;
}

INSTANTIATE_TEST_SUITE_P(
    Personalities, SimStream,
    ::testing::Values(Kind{"bttv", "video/x-raw,format=BGR,width=320,height=240"},
                      Kind{"bttv", "video/x-raw,format=GRAY8,width=720,height=576,interlace-mode=interleaved"},
                      Kind{"bttv", "video/x-raw(format:Interlaced),interlace-mode=alternate,width=720"},
                      Kind{"saa7134", "video/x-raw,format=UYVY,width=720,height=576"},
                      Kind{"em28xx", "video/x-raw,format=YUY2,width=360,height=288"},
                      Kind{"stk1160", "video/x-raw,format=UYVY,width=720,height=576"}),
    [](const auto& info) { return std::string(info.param.name) + std::to_string(info.index); });

TEST(SimStream, RefusesFormatsThePersonalityLacks) {
  const auto r = Launch("em28xx", "", "v4l2src num-buffers=5 ! video/x-raw,format=BGR ! fakesink");
  EXPECT_NE(r.status, 0) << r.output;
}

TEST(SimStream, NtscGivesItsOwnLinesAndRate) {
  const auto r = Launch("bttv", "", "v4l2src norm=NTSC num-buffers=10 ! fakesink", "-v");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("height=(int)480"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("framerate=(fraction)30000/1001"), std::string::npos) << r.output;
}

// Unplugged while streaming: the node polls as gone, its calls fail with
// ENODEV, and v4l2src stops with an error (which one depends on where its
// thread was) instead of hanging or crashing.
TEST(SimStream, UnplugEndsTheStreamWithAnError) {
  const auto r = Launch("saa7134", "unplug@20", "v4l2src num-buffers=200 ! fakesink");
  EXPECT_NE(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("ERROR: from element /GstPipeline:pipeline0/GstV4l2Src:v4l2src0"), std::string::npos)
      << r.output;
}

// Lost and repeated frame numbers and a jump in the timestamps are the
// driver's to report, not a reason to stop.
TEST(SimStream, SequenceAndTimestampFaultsStillStream) {
  const auto r = Launch("bttv", "drop@5,repeat@10,tsjump@15", "v4l2src num-buffers=30 ! fakesink");
  EXPECT_EQ(r.status, 0) << r.output;
}

}  // namespace
