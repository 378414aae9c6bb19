// The still grabber bin in a running graph: stills of the newest frame in
// full and half size, from RGB and YUV streams.
#include "strova/still/StillCapture.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using strova::still::StillCapture;

namespace {

// videotestsrc -> grabber -> fakesink, prerolled so one frame has passed.
GstElement* Graph(StillCapture& g, const char* caps) {
  GstElement* pipe = gst_pipeline_new(nullptr);
  GstElement* src = gst_element_factory_make("videotestsrc", nullptr);
  GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  GstCaps* c = gst_caps_from_string(caps);
  g_object_set(filter, "caps", c, nullptr);
  gst_caps_unref(c);
  g_object_set(src, "pattern", 0, nullptr);
  gst_bin_add_many(GST_BIN(pipe), src, filter, g.Bin(), sink, nullptr);
  gst_object_ref(g.Bin());
  gst_element_link_many(src, filter, g.Bin(), sink, nullptr);
  gst_element_set_state(pipe, GST_STATE_PAUSED);
  gst_element_get_state(pipe, nullptr, nullptr, 5 * GST_SECOND);
  return pipe;
}

void Stop(GstElement* pipe) {
  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_object_unref(pipe);
}

}  // namespace

TEST(StillCapture, GrabsTheNewestFrameInFullAndHalfSize) {
  for (const char* caps : {"video/x-raw,format=BGRx,width=640,height=480", "video/x-raw,format=I420,width=640,height=480",
                           "video/x-raw,format=YUY2,width=640,height=480"}) {
    StillCapture g;
    ASSERT_TRUE(g.Valid());
    EXPECT_EQ(g.DibSize(), 0) << "no frame yet";
    EXPECT_EQ(StillCapture::From(g.Bin()), &g);
    GstElement* pipe = Graph(g, caps);
    EXPECT_EQ(g.DibSize(), 921640) << caps;
    std::vector<uint8_t> dib(921640);
    ASSERT_TRUE(g.CopyDib(dib.data(), dib.size()));
    EXPECT_EQ(dib[0], 40);
    // Colour bars: the top-left bar is light grey (the DIB stores rows bottom-up).
    const size_t topRow = 40 + static_cast<size_t>(479) * 640 * 3;
    EXPECT_GT(dib[topRow] + dib[topRow + 1] + dib[topRow + 2], 300) << caps;
    EXPECT_TRUE(g.SetParam(0x605, 1));
    EXPECT_EQ(g.DibSize(), 230440);
    EXPECT_FALSE(g.CopyDib(dib.data(), 100));
    EXPECT_FALSE(g.SetParam(0x606, 1));
    Stop(pipe);
  }
  EXPECT_EQ(StillCapture::From(nullptr), nullptr);
}

// A still of an interlaced frame whose fields differ (the top field light,
// the bottom field dark, as a fast edge leaves them) shows one field's moment
// without the comb; with deinterlacing off it keeps both fields.
TEST(StillCapture, InterlacedFrameGivesOneFieldUnlessTurnedOff) {
  gst_init(nullptr, nullptr);
  constexpr int kW = 64, kH = 32;
  GstBuffer* buf = gst_buffer_new_allocate(nullptr, kW * kH * 3 / 2, nullptr);
  GstMapInfo map;
  ASSERT_TRUE(gst_buffer_map(buf, &map, GST_MAP_WRITE));
  for (int y = 0; y < kH; ++y) std::memset(map.data + y * kW, y % 2 ? 40 : 200, kW);
  std::memset(map.data + kW * kH, 128, kW * kH / 2);
  gst_buffer_unmap(buf, &map);
  GstCaps* caps = gst_caps_from_string(
      "video/x-raw,format=I420,width=64,height=32,framerate=25/1,interlace-mode=interleaved,"
      "field-order=top-field-first");
  for (bool on : {true, false}) {
    StillCapture g;
    g.SetDeinterlace(on);
    g.Store(gst_sample_new(buf, caps, nullptr, nullptr));
    std::vector<uint8_t> dib(size_t(g.DibSize()));
    ASSERT_TRUE(g.CopyDib(dib.data(), dib.size()));
    int lo = 255, hi = 0;
    for (int row = 0; row < kH; ++row) {
      const int v = dib[40 + size_t(row) * kW * 3 + 1];  // green of the row's first pixel
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
    if (on) EXPECT_LT(hi - lo, 8) << "rows " << lo << ".." << hi;
    else EXPECT_GT(hi - lo, 100) << "rows " << lo << ".." << hi;
  }
  gst_caps_unref(caps);
  gst_buffer_unref(buf);
}
