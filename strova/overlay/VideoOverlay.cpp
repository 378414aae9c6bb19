#include "strova/overlay/VideoOverlay.h"

#include <gst/gst.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>

namespace strova::overlay {
namespace {

constexpr GstClockTime kProbeTimeout = 5 * GST_SECOND;

GstElement* Make(const char* factory, const char* name) {
  return gst_element_factory_make(factory, name);
}

void SetupClock(GstElement* e, const char* format) {
  g_object_set(e, "time-format", format, "halignment", 0 /* left */, "valignment", 2 /* top */,
               "xpad", 0, "ypad", 0, "silent", TRUE, "shaded-background", FALSE,
               "font-desc", "Sans Bold 14", nullptr);
}

uint32_t Le(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

constexpr int32_t kMaxLogoSide = 4096;  // larger pictures would cost hundreds of megabytes

// Windows bitmaps are read by the overlay's picture loader but not by the
// decoders, so their header is checked here: signature, header size, size,
// depth, and for uncompressed ones that the pixels are all in the file.
// -1: not a bitmap, 0: a broken or oversized bitmap, 1: a sound one.
int CheckBitmap(const std::string& path, off_t fileSize) {
  unsigned char h[34] = {};
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  const size_t got = std::fread(h, 1, sizeof h, f);
  std::fclose(f);
  if (got < 2 || h[0] != 'B' || h[1] != 'M') return -1;
  if (got < sizeof h) return 0;
  const uint32_t offset = Le(h + 10, 4), header = Le(h + 14, 4);
  const int32_t w = static_cast<int32_t>(Le(h + 18, 4)), ht = static_cast<int32_t>(Le(h + 22, 4));
  const uint32_t bpp = Le(h + 28, 2), compression = Le(h + 30, 4);
  const bool depthOk = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
  const int64_t rows = ht < 0 ? -int64_t(ht) : ht;
  if (header < 40 || w <= 0 || rows == 0 || !depthOk || offset >= static_cast<uint64_t>(fileSize)) return 0;
  if (w > kMaxLogoSide || rows > kMaxLogoSide) return 0;
  const uint64_t stride = ((uint64_t(w) * bpp + 31) / 32) * 4;
  if (compression == 0 && offset + stride * uint64_t(rows) > static_cast<uint64_t>(fileSize)) return 0;
  return 1;
}

}  // namespace

void AttachOverlay(GstElement* companion, VideoOverlay* overlay) {
  if (companion) g_object_set_data(G_OBJECT(companion), "strova-overlay", overlay);
}

VideoOverlay* FindOverlay(GstElement* companion) {
  return companion ? static_cast<VideoOverlay*>(g_object_get_data(G_OBJECT(companion), "strova-overlay")) : nullptr;
}

bool IsPicture(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return false;
  const int bitmap = CheckBitmap(path, st.st_size);
  if (bitmap >= 0) return bitmap == 1;
  GstElement* pipe = gst_pipeline_new(nullptr);
  GstElement* src = Make("filesrc", nullptr);
  GstElement* dec = Make("decodebin", nullptr);
  GstElement* sink = Make("fakesink", nullptr);
  if (!pipe || !src || !dec || !sink) {
    if (pipe) gst_object_unref(pipe);
    return false;
  }
  g_object_set(src, "location", path.c_str(), nullptr);
  gst_bin_add_many(GST_BIN(pipe), src, dec, sink, nullptr);
  gst_element_link(src, dec);
  g_signal_connect(dec, "pad-added", G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer data) {
                     GstPad* sinkPad = gst_element_get_static_pad(GST_ELEMENT(data), "sink");
                     GstCaps* caps = gst_pad_get_current_caps(pad);
                     const bool video = caps && g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
                     if (video && !gst_pad_is_linked(sinkPad)) gst_pad_link(pad, sinkPad);
                     if (caps) gst_caps_unref(caps);
                     gst_object_unref(sinkPad);
                   }),
                   sink);
  gst_element_set_state(pipe, GST_STATE_PAUSED);
  GstState state = GST_STATE_NULL;
  const bool paused = gst_element_get_state(pipe, &state, nullptr, kProbeTimeout) == GST_STATE_CHANGE_SUCCESS &&
                      state == GST_STATE_PAUSED;
  GstPad* sinkPad = gst_element_get_static_pad(sink, "sink");
  const bool linked = gst_pad_is_linked(sinkPad);
  gst_object_unref(sinkPad);
  gst_element_set_state(pipe, GST_STATE_NULL);
  gst_object_unref(pipe);
  return paused && linked;
}

VideoOverlay::VideoOverlay() {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  GstElement* in = Make("videoconvert", nullptr);
  logo_ = Make("gdkpixbufoverlay", nullptr);
  time_ = Make("clockoverlay", nullptr);
  date_ = Make("clockoverlay", nullptr);
  GstElement* out = Make("videoconvert", nullptr);
  bin_ = gst_bin_new("Overlay");
  if (!in || !logo_ || !time_ || !date_ || !out || !bin_) {
    for (GstElement* e : {in, logo_, time_, date_, out, bin_})
      if (e) gst_object_unref(e);
    bin_ = logo_ = time_ = date_ = nullptr;
    return;
  }
  gst_object_ref_sink(bin_);
  SetupClock(time_, "%X");
  SetupClock(date_, "%x");
  g_object_set(logo_, "alpha", 0.0, nullptr);
  gst_bin_add_many(GST_BIN(bin_), in, logo_, time_, date_, out, nullptr);
  gst_element_link_many(in, logo_, time_, date_, out, nullptr);
  GstPad* sink = gst_element_get_static_pad(in, "sink");
  GstPad* src = gst_element_get_static_pad(out, "src");
  gst_element_add_pad(bin_, gst_ghost_pad_new("sink", sink));
  gst_element_add_pad(bin_, gst_ghost_pad_new("src", src));
  gst_object_unref(sink);
  gst_object_unref(src);
}

VideoOverlay::~VideoOverlay() {
  if (bin_) gst_object_unref(bin_);
}

bool VideoOverlay::InVideoPath() const {
  if (!bin_) return false;
  GstObject* parent = gst_object_get_parent(GST_OBJECT(bin_));
  if (!parent) return false;
  gst_object_unref(parent);
  return true;
}

void VideoOverlay::ApplyLogo() {
  const bool on = logoShown_ && !logoPath_.empty();
  g_object_set(logo_, "offset-x", logoX_, "offset-y", logoY_, "alpha", on ? 1.0 : 0.0, nullptr);
}

bool VideoOverlay::SetLogoFile(const std::string& path) {
  if (!bin_) return false;
  if (!IsPicture(path)) {
    logoPath_.clear();
    ApplyLogo();
    return false;
  }
  logoPath_ = path;
  g_object_set(logo_, "location", path.c_str(), nullptr);
  ApplyLogo();
  return true;
}

bool VideoOverlay::ShowLogo(int show, int x, int y) {
  if (!bin_) return false;
  logoShown_ = show != 0;
  logoX_ = x;
  logoY_ = y;
  ApplyLogo();
  return true;
}

bool VideoOverlay::ShowText(GstElement* text, int show, int x, int y) {
  if (!bin_) return false;
  g_object_set(text, "deltax", x, "deltay", y, "silent", show ? FALSE : TRUE, nullptr);
  return true;
}

bool VideoOverlay::ShowTime(int show, int x, int y) { return ShowText(time_, show, x, y); }
bool VideoOverlay::ShowDate(int show, int x, int y) { return ShowText(date_, show, x, y); }

bool VideoOverlay::DrawOnUserStream(int value) {
  if (!bin_) return false;
  userStream_ = value;
  return true;
}

}  // namespace strova::overlay
