// AVI recordings from live sources, finished by end-of-stream and probed.
#include "strova/capture/AviRecorder.h"
#include "RecordingTestUtil.h"
#include "support/TestEnv.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using strova::capture::AviRecorder;
using tellura::test::ScopedHome;

namespace {

using recording_test::Shell;

void RecordTwoSeconds(AviRecorder& rec) {
  GstElement* pipe = gst_parse_launch(
      "videotestsrc is-live=true pattern=ball ! video/x-raw,width=640,height=480,framerate=25/1 ! queue name=v "
      "audiotestsrc is-live=true ! audio/x-raw,rate=44100,channels=2 ! queue name=a",
      nullptr);
  gst_bin_add(GST_BIN(pipe), rec.Bin());
  gst_object_ref(rec.Bin());
  GstElement* v = gst_bin_get_by_name(GST_BIN(pipe), "v");
  GstElement* a = gst_bin_get_by_name(GST_BIN(pipe), "a");
  ASSERT_TRUE(gst_element_link_pads(v, "src", rec.Bin(), "Input 01"));
  ASSERT_TRUE(gst_element_link_pads(a, "src", rec.Bin(), "Input 02"));
  gst_object_unref(v);
  gst_object_unref(a);
  gst_element_set_state(pipe, GST_STATE_PLAYING);
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  EXPECT_TRUE(rec.Finish(5000)) << "the file was not finished";
  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_object_unref(pipe);
}

}  // namespace

TEST(AviRecorder, WritesUncompressedRgbAndPcmWithAnIndex) {
  ScopedHome home;
  AviRecorder rec(true);
  ASSERT_TRUE(rec.Valid());
  const std::string path = home.path("rec.avi");
  ASSERT_TRUE(rec.SetFileName(path));
  RecordTwoSeconds(rec);
  std::string probe = Shell("ffprobe -v error -show_entries stream=codec_name,width,height,sample_rate:format=duration "
                            "-of default=nw=1 '" + path + "'");
  EXPECT_NE(probe.find("codec_name=rawvideo"), std::string::npos) << probe;
  EXPECT_NE(probe.find("width=320\nheight=240"), std::string::npos) << probe;
  EXPECT_NE(probe.find("codec_name=pcm_s16le"), std::string::npos) << probe;
  EXPECT_NE(probe.find("sample_rate=44100"), std::string::npos) << probe;
  const auto at = probe.find("duration=");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NEAR(std::atof(probe.c_str() + at + 9), 2.0, 0.5);
  EXPECT_NE(tellura::test::ReadFile(path).find("idx1"), std::string::npos) << "no AVI index";
}

TEST(AviRecorder, RefusesTargetsInMissingOrReadOnlyFolders) {
  ScopedHome home;
  AviRecorder rec(false);
  EXPECT_FALSE(rec.SetFileName(home.path("missing/rec.avi")));
  EXPECT_FALSE(rec.SetFileName(""));
  if (geteuid() != 0) {  // root writes anywhere
    ASSERT_EQ(mkdir(home.path("ro").c_str(), 0500), 0);
    EXPECT_FALSE(rec.SetFileName(home.path("ro/rec.avi")));
  }
  EXPECT_TRUE(rec.SetFileName(home.path("rec.avi")));
}
