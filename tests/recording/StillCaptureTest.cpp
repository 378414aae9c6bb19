// The still grabber bin in a running graph: stills of the newest frame in
// full and half size, from RGB and YUV streams.
#include "strova/still/StillCapture.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

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
