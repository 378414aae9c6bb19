// The overlay bin drawing into real frames, read back with ImageMagick.
#include "strova/overlay/VideoOverlay.h"
#include "strova/still/StillFile.h"
#include "support/TestEnv.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdio>

using strova::overlay::IsPicture;
using strova::overlay::VideoOverlay;
using tellura::test::ScopedHome;

namespace {

std::string Magick(const std::string& args) {
  std::string out;
  FILE* p = popen(("convert " + args + " 2>&1").c_str(), "r");
  char buf[512];
  size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  if (p) pclose(p);
  return out;
}

// One black 320 x 240 frame through the overlay into a PNG file.
bool Render(VideoOverlay& ov, const std::string& png) {
  GstElement* pipe = gst_pipeline_new(nullptr);
  GstElement* src = gst_element_factory_make("videotestsrc", nullptr);
  GstElement* caps = gst_element_factory_make("capsfilter", nullptr);
  GstElement* conv = gst_element_factory_make("videoconvert", nullptr);
  GstElement* enc = gst_element_factory_make("pngenc", nullptr);
  GstElement* sink = gst_element_factory_make("filesink", nullptr);
  g_object_set(src, "pattern", 2 /* black */, "num-buffers", 1, nullptr);
  GstCaps* c = gst_caps_from_string("video/x-raw,format=BGRx,width=320,height=240,framerate=25/1");
  g_object_set(caps, "caps", c, nullptr);
  gst_caps_unref(c);
  g_object_set(sink, "location", png.c_str(), nullptr);
  gst_bin_add_many(GST_BIN(pipe), src, caps, ov.Bin(), conv, enc, sink, nullptr);
  bool ok = gst_element_link_many(src, caps, ov.Bin(), conv, enc, sink, nullptr);
  gst_element_set_state(pipe, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipe);
  GstMessage* msg = gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND,
                                               static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  ok = ok && msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
  if (msg) gst_message_unref(msg);
  gst_object_unref(bus);
  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_bin_remove(GST_BIN(pipe), ov.Bin());  // the overlay outlives this pipeline
  gst_object_unref(pipe);
  return ok;
}

std::string Pixel(const std::string& png, int x, int y) {
  return Magick("'" + png + "' -alpha off -format '%[pixel:p{" + std::to_string(x) + "," + std::to_string(y) + "}]' info:");
}

// Brightest value in a region ("0" when all black).
std::string Max(const std::string& png, const std::string& geometry) {
  return Magick("'" + png + "' -crop " + geometry + " -format '%[fx:maxima]' info:");
}

void WriteRedLogo(const std::string& path) {
  std::vector<uint8_t> px(40 * 30 * 3);
  for (size_t i = 0; i < px.size(); i += 3) px[i] = 255;
  auto dib = strova::still::MakeDib({px.data(), 40, 30, 0, strova::mpeg::PixelFormat::Rgb24}, false);
  ASSERT_TRUE(strova::still::WriteBmpFile(path, dib));
}

}  // namespace

TEST(VideoOverlay, DrawsLogoTimeAndDateWhereAskedAndHidesThem) {
  ScopedHome home;
  VideoOverlay ov;
  ASSERT_TRUE(ov.Valid());
  const std::string logo = home.path("logo.bmp");
  WriteRedLogo(logo);
  ASSERT_TRUE(ov.SetLogoFile(logo));
  EXPECT_TRUE(ov.ShowLogo(1, 100, 50));
  EXPECT_TRUE(ov.ShowTime(1, 10, 180));
  EXPECT_TRUE(ov.ShowDate(0, 10, 10));
  const std::string png = home.path("on.png");
  ASSERT_TRUE(Render(ov, png));
  EXPECT_EQ(Pixel(png, 110, 60), "srgb(255,0,0)");
  EXPECT_EQ(Pixel(png, 90, 60), "srgb(0,0,0)") << "logo drawn left of its position";
  EXPECT_NE(Max(png, "150x40+0+175"), "0") << "no time drawn";
  EXPECT_EQ(Max(png, "300x40+0+0"), "0") << "hidden date drawn";

  EXPECT_TRUE(ov.ShowLogo(0, 100, 50));
  EXPECT_TRUE(ov.ShowTime(0, 10, 180));
  EXPECT_TRUE(ov.ShowDate(1, 10, 10));
  const std::string png2 = home.path("off.png");
  ASSERT_TRUE(Render(ov, png2));
  EXPECT_EQ(Pixel(png2, 110, 60), "srgb(0,0,0)");
  EXPECT_EQ(Max(png2, "150x40+0+175"), "0");
  EXPECT_NE(Max(png2, "300x40+0+0"), "0") << "no date drawn";
}

TEST(VideoOverlay, MissingOrNonPictureLogoLeavesTheLogoOff) {
  ScopedHome home;
  VideoOverlay ov;
  ASSERT_TRUE(ov.Valid());
  EXPECT_FALSE(IsPicture(home.path("none.bmp")));
  EXPECT_FALSE(IsPicture(""));
  EXPECT_FALSE(IsPicture(home.root()));
  ASSERT_TRUE(tellura::test::WriteFile(home.path("text.bmp"), "this is not a picture at all\n"));
  EXPECT_FALSE(ov.SetLogoFile(home.path("text.bmp")));
  EXPECT_FALSE(ov.LogoLoaded());
  EXPECT_TRUE(ov.ShowLogo(1, 0, 0));
  const std::string png = home.path("x.png");
  ASSERT_TRUE(Render(ov, png));
  EXPECT_EQ(Max(png, "64x64+0+0"), "0");
  EXPECT_TRUE(ov.DrawOnUserStream(3));
  EXPECT_EQ(ov.UserStream(), 3);
}

TEST(VideoOverlay, CompanionFilterCarriesItsOverlay) {
  VideoOverlay ov;
  GstElement* companion = gst_bin_new("Quorvel Zento Filter");
  gst_object_ref_sink(companion);
  EXPECT_EQ(strova::overlay::FindOverlay(companion), nullptr);
  strova::overlay::AttachOverlay(companion, &ov);
  EXPECT_EQ(strova::overlay::FindOverlay(companion), &ov);
  strova::overlay::AttachOverlay(companion, nullptr);
  EXPECT_EQ(strova::overlay::FindOverlay(companion), nullptr);
  EXPECT_EQ(strova::overlay::FindOverlay(nullptr), nullptr);
  gst_object_unref(companion);
}
