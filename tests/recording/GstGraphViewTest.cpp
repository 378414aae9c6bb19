// The dump of a real GStreamer graph of filter bins.
#include "strova/dump/GstGraphView.h"
#include "support/TestEnv.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

using namespace strova::dump;

namespace {

// A filter bin around one element, its pad exposed under the pin name.
GstElement* Filter(const char* name, const char* factory, const char* padName, const char* pin) {
  GstElement* bin = gst_bin_new(name);
  GstElement* e = gst_element_factory_make(factory, nullptr);
  gst_bin_add(GST_BIN(bin), e);
  GstPad* target = gst_element_get_static_pad(e, padName);
  gst_element_add_pad(bin, gst_ghost_pad_new(pin, target));
  gst_object_unref(target);
  return bin;
}

}  // namespace

TEST(GstGraphView, DumpsBinsWithTheirPinsAndNegotiatedTypes) {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  GstElement* pipe = gst_pipeline_new(nullptr);
  GstElement* cap = Filter("Quorvel Tellura Capture", "videotestsrc", "src", "Preview");
  GstElement* caps = gst_element_factory_make("capsfilter", "Caps");
  GstCaps* c = gst_caps_from_string("video/x-raw,format=RGB,width=64,height=48");
  g_object_set(caps, "caps", c, nullptr);
  gst_caps_unref(c);
  GstElement* ren = Filter("Video Renderer", "fakesink", "sink", "Input");
  gst_bin_add_many(GST_BIN(pipe), cap, caps, ren, nullptr);
  ASSERT_TRUE(gst_element_link_pads(cap, "Preview", caps, "sink"));
  ASSERT_TRUE(gst_element_link_pads(caps, "src", ren, "Input"));
  gst_element_set_state(pipe, GST_STATE_PAUSED);
  gst_element_get_state(pipe, nullptr, nullptr, 5 * GST_SECOND);

  const std::string text = DumpGstGraph(3, pipe, cap);
  EXPECT_EQ(text.rfind("/**** The 3th Way Card ****/\n==============================================\n", 0), 0u);
  for (const char* name : {"'Quorvel Tellura Capture'", "'Caps'", "'Video Renderer'"})
    EXPECT_NE(text.find(std::string("Filter: ") + name + "\n"), std::string::npos) << name;
  EXPECT_NE(text.find("    Pin: 'Preview' (Dir:Out , MainType:Video , SubType:RGB24)\n"
                      "        ---->Filter: 'Caps' , Pin: 'sink'\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("                ---->Filter: 'Video Renderer' , Pin: 'Input'\n"), std::string::npos) << text;
  EXPECT_EQ(DumpGstGraph(3, nullptr, nullptr), "/**** The 3th Way Card ****/\n");

  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_object_unref(pipe);

  tellura::test::ScopedHome home;
  const std::string path = DiagnosticPath("filter01.txt");
  EXPECT_EQ(path.rfind(home.root(), 0), 0u) << "diagnostics stay in the private state folder";
  EXPECT_NE(path.find("/quorvel/filter01.txt"), std::string::npos);
  EXPECT_TRUE(WriteDumpFile(path, text)) << "the diagnostics folder is created";
}
