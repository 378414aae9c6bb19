// The recording sink in a running GStreamer pipeline with live sources.
#include "strova/filters/mpeg/MpegRecorder.h"
#include "RecordingTestUtil.h"
#include "support/TestEnv.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace strova::mpeg;
using tellura::test::ScopedHome;

namespace {

using recording_test::Shell;

struct LivePipeline {
  GstElement* pipe = nullptr;
  explicit LivePipeline(MpegRecorder& rec) {
    pipe = gst_parse_launch(
        "videotestsrc is-live=true pattern=ball ! video/x-raw,width=320,height=240,framerate=25/1 ! "
        "queue name=v  audiotestsrc is-live=true wave=sine ! audio/x-raw,rate=48000,channels=2 ! queue name=a",
        nullptr);
    gst_bin_add(GST_BIN(pipe), rec.Bin());
    gst_object_ref(rec.Bin());  // the recorder keeps its own reference
    GstElement* v = gst_bin_get_by_name(GST_BIN(pipe), "v");
    GstElement* a = gst_bin_get_by_name(GST_BIN(pipe), "a");
    gst_element_link_pads(v, "src", rec.Bin(), "Input0");
    gst_element_link_pads(a, "src", rec.Bin(), "Input1");
    gst_object_unref(v);
    gst_object_unref(a);
  }
  ~LivePipeline() {
    gst_element_set_state(pipe, GST_STATE_NULL);
    gst_object_unref(pipe);
  }
  // Error reported by the recorder on the bus: "disk-full", "aborted" or "".
  std::string RecorderStatus() {
    GstBus* bus = gst_element_get_bus(pipe);
    std::string status;
    while (GstMessage* m = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
      GError* err = nullptr;
      gst_message_parse_error(m, &err, nullptr);
      status = g_error_matches(err, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NO_SPACE_LEFT) ? "disk-full" : "aborted";
      g_error_free(err);
      gst_message_unref(m);
    }
    gst_object_unref(bus);
    return status;
  }
};

VideoSettings Vcd() { return {352, 288, 25, 1, false, 1120, 15, 3, {}, 1.0}; }

}  // namespace

TEST(MpegRecorder, RecordsLiveSourcesIntoAPlayableStream) {
  ScopedHome home;
  MpegRecorder rec;
  ASSERT_TRUE(rec.Valid());
  std::string err;
  const std::string path = home.path("live.mpg");
  ASSERT_TRUE(rec.Start(Vcd(), {true, 44100, 224}, {MuxType::Vcd, 2324, path, {}}, &err)) << err;
  {
    LivePipeline p(rec);
    gst_element_set_state(p.pipe, GST_STATE_PLAYING);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    gst_element_set_state(p.pipe, GST_STATE_NULL);
    EXPECT_EQ(p.RecorderStatus(), "");
  }
  EXPECT_EQ(rec.Stop(), WriteStatus::Ok);
  EXPECT_GT(rec.FramesWritten(), 40);
  std::string probe = Shell("ffprobe -v error -show_entries stream=codec_name:format=duration -of csv=p=0 '" + path + "'");
  EXPECT_NE(probe.find("mpeg1video"), std::string::npos) << probe;
  EXPECT_NE(probe.find("mp2"), std::string::npos) << probe;
  double duration = std::atof(probe.substr(probe.rfind('\n', probe.size() - 2) + 1).c_str());
  EXPECT_NEAR(duration, 2.5, 0.6);
}

TEST(MpegRecorder, DiskFullPostsItsMessageAndRefusesADoubleStart) {
  MpegRecorder rec;
  ASSERT_TRUE(rec.Valid());
  size_t total = 0;
  MuxSettings mux{MuxType::Vcd, 2324, "", [&](const uint8_t*, size_t n) -> long {
                    if (total + n > 100000) return -ENOSPC;
                    total += n;
                    return static_cast<long>(n);
                  }};
  std::string err;
  ASSERT_TRUE(rec.Start(Vcd(), {true, 44100, 224}, mux, &err)) << err;
  EXPECT_FALSE(rec.Start(Vcd(), {true, 44100, 224}, mux, &err));
  LivePipeline p(rec);
  gst_element_set_state(p.pipe, GST_STATE_PLAYING);
  std::string status;
  for (int i = 0; i < 100 && status.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    status = p.RecorderStatus();
  }
  EXPECT_EQ(status, "disk-full");
  gst_element_set_state(p.pipe, GST_STATE_NULL);
  EXPECT_EQ(rec.Stop(), WriteStatus::DiskFull);
  EXPECT_EQ(rec.Stop(), WriteStatus::DiskFull) << "a second stop repeats the result";
}
