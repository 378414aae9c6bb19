// The recording branch's filters in running pipelines: the tee's two outputs,
// the down-scaled preview, and the MPEG encoders and multiplexer writing a
// file from their parameters alone.
#include "strova/filters/StreamFilters.h"
#include "strova/filters/mpeg/MpegFilters.h"
#include "RecordingTestUtil.h"
#include "support/TestEnv.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace strova;
using tellura::test::ScopedHome;

namespace {

using recording_test::Shell;

GstElement* Parse(const char* desc) {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  return gst_parse_launch(desc, nullptr);
}

GstElement* Child(GstElement* pipe, const char* name) {
  GstElement* e = gst_bin_get_by_name(GST_BIN(pipe), name);
  gst_object_unref(e);  // the pipeline keeps it
  return e;
}

void CountBuffers(GstElement* sink, std::atomic<int>* count) {
  g_object_set(sink, "signal-handoffs", TRUE, nullptr);
  g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad*, gpointer n) {
                     ++*static_cast<std::atomic<int>*>(n);
                   }),
                   count);
}

void Stop(GstElement* pipe) {
  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_object_unref(pipe);
}

// Width and height flowing out of a pad, 0 when none yet.
std::pair<int, int> SizeAt(GstElement* e, const char* pad) {
  GstPad* p = gst_element_get_static_pad(e, pad);
  GstCaps* caps = p ? gst_pad_get_current_caps(p) : nullptr;
  int w = 0, h = 0;
  if (caps) {
    gst_structure_get_int(gst_caps_get_structure(caps, 0), "width", &w);
    gst_structure_get_int(gst_caps_get_structure(caps, 0), "height", &h);
    gst_caps_unref(caps);
  }
  if (p) gst_object_unref(p);
  return {w, h};
}

}  // namespace

TEST(SmartTee, SlowPreviewDropsFramesWithoutHoldingUpTheCapture) {
  GstElement* pipe = Parse(
      "videotestsrc is-live=true ! video/x-raw,width=160,height=120,framerate=50/1 ! queue name=src "
      "identity name=slow sleep-time=200000 ! fakesink name=preview sync=false  fakesink name=capture sync=false");
  ASSERT_TRUE(pipe);
  GstElement* tee = filters::MakeSmartTee();
  ASSERT_TRUE(tee);
  gst_bin_add(GST_BIN(pipe), tee);
  ASSERT_TRUE(gst_element_link_pads(Child(pipe, "src"), "src", tee, "Input"));
  ASSERT_TRUE(gst_element_link_pads(tee, "Preview", Child(pipe, "slow"), "sink"));
  ASSERT_TRUE(gst_element_link_pads(tee, "Capture", Child(pipe, "capture"), "sink"));
  std::atomic<int> captured{0}, previewed{0};
  CountBuffers(Child(pipe, "capture"), &captured);
  CountBuffers(Child(pipe, "preview"), &previewed);
  gst_element_set_state(pipe, GST_STATE_PLAYING);
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  Stop(pipe);
  EXPECT_GE(captured.load(), 40) << "the capture output must see every frame";
  EXPECT_LE(previewed.load(), 10);
  EXPECT_GE(previewed.load(), 2);
}

TEST(DownScaleFilter, HalvesThePictureWhenOnAndPassesItOtherwise) {
  for (bool on : {true, false}) {
    GstElement* pipe = Parse(
        "videotestsrc is-live=true ! video/x-raw,width=720,height=576,framerate=25/1 ! queue name=src "
        "fakesink name=out");
    filters::ParamFilter down = filters::MakeDownScaleFilter();
    ASSERT_TRUE(down.bin && down.setParam);
    EXPECT_TRUE(down.setParam(0x700, on ? 1 : 0));
    EXPECT_TRUE(down.setParam(0x701, 1));
    EXPECT_FALSE(down.setParam(0x702, 1)) << "unknown parameter";
    gst_bin_add(GST_BIN(pipe), down.bin);
    ASSERT_TRUE(gst_element_link_pads(Child(pipe, "src"), "src", down.bin, "Input"));
    ASSERT_TRUE(gst_element_link_pads(down.bin, "Output", Child(pipe, "out"), "sink"));
    gst_element_set_state(pipe, GST_STATE_PLAYING);
    std::pair<int, int> size;
    for (int i = 0; i < 100 && size.first == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      size = SizeAt(Child(pipe, "out"), "sink");
    }
    EXPECT_EQ(size, on ? std::make_pair(360, 288) : std::make_pair(720, 576));
    Stop(pipe);
  }
}

TEST(MpegFilters, ParametersAreCheckedAndTheFileMustOpen) {
  ScopedHome home;
  auto set = mpeg::MpegFilterSet::Create();
  ASSERT_TRUE(set);
  EXPECT_FALSE(set->SetVideoParam(99, 1));
  EXPECT_FALSE(set->SetAudioParam(0x103, 1));
  EXPECT_FALSE(set->SetMuxParam(0x209, 1));
  EXPECT_FALSE(set->SetMuxParam(0x20A, 0)) << "a null file name";
  EXPECT_FALSE(set->SetMuxParam(0x208, 1)) << "no file name yet";
  const std::string missing = home.path("no/such/folder/rec");
  EXPECT_TRUE(set->SetMuxParam(0x20A, reinterpret_cast<intptr_t>(missing.c_str())));
  EXPECT_FALSE(set->SetMuxParam(0x208, 1));
  EXPECT_FALSE(set->Recording());
  // The DVD settings: full-size MPEG-2 and 48 kHz sound.
  for (auto [id, v] : {std::pair{7, 1}, {8, 1}, {9, 5000}}) EXPECT_TRUE(set->SetVideoParam(id, v));
  EXPECT_TRUE(set->SetMuxParam(0x203, 1));
  EXPECT_EQ(set->Video().width, 720);
  EXPECT_EQ(set->Video().height, 576);
  EXPECT_TRUE(set->Video().mpeg2);
  EXPECT_EQ(set->Audio().sampleRate, 48000);
  EXPECT_EQ(set->Mux().path, missing + ".mpg");
}

TEST(MpegFilters, EncodersAndMultiplexerWriteTheStreamTheirParametersDescribe) {
  ScopedHome home;
  GstElement* pipe = Parse(
      "videotestsrc is-live=true pattern=ball ! video/x-raw,width=640,height=480,framerate=25/1 ! queue name=v "
      "audiotestsrc is-live=true ! audio/x-raw,rate=32000,channels=1 ! queue name=a");
  auto set = mpeg::MpegFilterSet::Create();
  ASSERT_TRUE(set);
  for (GstElement* bin : {set->VideoEncoder(), set->AudioEncoder(), set->Multiplexer()})
    gst_bin_add(GST_BIN(pipe), GST_ELEMENT(gst_object_ref(bin)));
  ASSERT_TRUE(gst_element_link_pads(Child(pipe, "v"), "src", set->VideoEncoder(), "Video In"));
  ASSERT_TRUE(gst_element_link_pads(Child(pipe, "a"), "src", set->AudioEncoder(), "Audio In"));
  ASSERT_TRUE(gst_element_link_pads(set->VideoEncoder(), "Video Out", set->Multiplexer(), "Input0"));
  ASSERT_TRUE(gst_element_link_pads(set->AudioEncoder(), "Audio Out", set->Multiplexer(), "Input1"));
  // The VCD variant's values.
  for (auto [id, v] : {std::pair{5, 3}, {7, 1}, {8, 0}, {11, 15}, {12, 3}, {9, 1120}}) set->SetVideoParam(id, v);
  set->SetAudioParam(0x102, 224);
  set->SetMuxParam(0x203, 2);
  set->SetMuxParam(0x201, 2324);
  const std::string work = home.path("clip");
  set->SetMuxParam(0x20A, reinterpret_cast<intptr_t>(work.c_str()));
  ASSERT_TRUE(set->SetMuxParam(0x208, 1)) << set->LastError();
  EXPECT_TRUE(set->WithSound());
  gst_element_set_state(pipe, GST_STATE_PLAYING);
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  gst_element_send_event(pipe, gst_event_new_eos());
  EXPECT_EQ(set->Finish(5000), mpeg::WriteStatus::Ok);
  Stop(pipe);
  const std::string probe = Shell("ffprobe -v error -show_entries stream=codec_name,width,height,sample_rate "
                                  "-show_entries format=duration,format_name -of compact=p=0 '" + work + ".mpg'");
  EXPECT_NE(probe.find("codec_name=mpeg1video|width=352|height=288"), std::string::npos) << probe;
  EXPECT_NE(probe.find("codec_name=mp2|sample_rate=44100"), std::string::npos) << probe;
  const auto at = probe.find("duration=");
  ASSERT_NE(at, std::string::npos) << probe;
  EXPECT_NEAR(std::atof(probe.c_str() + at + 9), 2.0, 0.5) << probe;
}
