#include "strova/still/StillCapture.h"

#include "strova/still/StillFile.h"

#include <gst/gst.h>
#include <gst/video/video.h>

#include <cstdlib>
#include <cstring>

namespace strova::still {
namespace {

constexpr GstClockTime kConvertTimeout = GST_SECOND;
constexpr const char* kDataKey = "strova-still";

GstPadProbeReturn OnBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
  GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (buf && caps) static_cast<StillCapture*>(data)->Store(gst_sample_new(buf, caps, nullptr, nullptr));
  if (caps) gst_caps_unref(caps);
  return GST_PAD_PROBE_OK;
}

// A progressive copy of an interlaced frame: the later field's rows of each
// plane become the mean of the first field's rows around them (rows of a
// plane alternate between the fields, chroma rows of 4:2:0 too). Null when
// the frame is not interlaced or cannot be read.
GstSample* FirstField(GstSample* sample) {
  GstVideoInfo info;
  GstCaps* caps = gst_sample_get_caps(sample);
  if (!caps || !gst_video_info_from_caps(&info, caps) || !GST_VIDEO_INFO_IS_INTERLACED(&info) ||
      GST_VIDEO_INFO_INTERLACE_MODE(&info) == GST_VIDEO_INTERLACE_MODE_ALTERNATE)
    return nullptr;
  GstBuffer* in = gst_sample_get_buffer(sample);
  if (!in || (GST_VIDEO_INFO_INTERLACE_MODE(&info) == GST_VIDEO_INTERLACE_MODE_MIXED &&
              !GST_BUFFER_FLAG_IS_SET(in, GST_VIDEO_BUFFER_FLAG_INTERLACED)))
    return nullptr;  // a progressive frame of a mixed stream
  GstBuffer* out = gst_buffer_copy_deep(in);
  GstVideoFrame frame;
  if (!out || !gst_video_frame_map(&frame, &info, out, GST_MAP_READWRITE)) {
    if (out) gst_buffer_unref(out);
    return nullptr;
  }
  const GstVideoFieldOrder order = GST_VIDEO_INFO_FIELD_ORDER(&info);
  const bool topFirst = order == GST_VIDEO_FIELD_ORDER_TOP_FIELD_FIRST ||
                        (order == GST_VIDEO_FIELD_ORDER_UNKNOWN && GST_BUFFER_FLAG_IS_SET(in, GST_VIDEO_BUFFER_FLAG_TFF));
  for (guint p = 0; p < GST_VIDEO_FRAME_N_PLANES(&frame); ++p) {
    auto* data = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p);
    int rows = 0;  // the height of the plane's components
    for (guint c = 0; c < GST_VIDEO_FRAME_N_COMPONENTS(&frame); ++c)
      if (GST_VIDEO_FORMAT_INFO_PLANE(frame.info.finfo, c) == p) rows = GST_VIDEO_FRAME_COMP_HEIGHT(&frame, c);
    const int bytes = std::abs(stride);
    for (int y = topFirst ? 1 : 0; y < rows; y += 2) {
      uint8_t* row = data + ptrdiff_t(y) * stride;
      const uint8_t* above = y > 0 ? row - stride : row + stride;
      const uint8_t* below = y + 1 < rows ? row + stride : above;
      for (int x = 0; x < bytes; ++x) row[x] = uint8_t((above[x] + below[x] + 1) / 2);
    }
  }
  gst_video_frame_unmap(&frame);
  GstCaps* progressive = gst_caps_copy(caps);
  gst_caps_set_simple(progressive, "interlace-mode", G_TYPE_STRING, "progressive", nullptr);
  gst_structure_remove_field(gst_caps_get_structure(progressive, 0), "field-order");
  GST_BUFFER_FLAG_UNSET(out, GST_VIDEO_BUFFER_FLAG_INTERLACED);
  GST_BUFFER_FLAG_UNSET(out, GST_VIDEO_BUFFER_FLAG_TFF);
  GstSample* result = gst_sample_new(out, progressive, nullptr, nullptr);
  gst_buffer_unref(out);
  gst_caps_unref(progressive);
  return result;
}

}  // namespace

StillCapture::StillCapture() {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  GstElement* pass = gst_element_factory_make("identity", nullptr);
  bin_ = gst_bin_new("Vantrel Still Capture");
  if (!pass || !bin_) {
    if (pass) gst_object_unref(pass);
    if (bin_) gst_object_unref(bin_);
    bin_ = nullptr;
    return;
  }
  gst_object_ref_sink(bin_);
  gst_bin_add(GST_BIN(bin_), pass);
  GstPad* sink = gst_element_get_static_pad(pass, "sink");
  GstPad* src = gst_element_get_static_pad(pass, "src");
  gst_element_add_pad(bin_, gst_ghost_pad_new("Input", sink));
  gst_element_add_pad(bin_, gst_ghost_pad_new("Output", src));
  gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, OnBuffer, this, nullptr);
  gst_object_unref(sink);
  gst_object_unref(src);
  g_object_set_data(G_OBJECT(bin_), kDataKey, this);
}

StillCapture::~StillCapture() {
  if (bin_) {
    g_object_set_data(G_OBJECT(bin_), kDataKey, nullptr);
    gst_object_unref(bin_);
  }
  if (newest_) gst_sample_unref(newest_);
  if (converted_) gst_sample_unref(converted_);
}

StillCapture* StillCapture::From(GstElement* bin) {
  return bin ? static_cast<StillCapture*>(g_object_get_data(G_OBJECT(bin), kDataKey)) : nullptr;
}

void StillCapture::Store(GstSample* sample) {
  std::lock_guard lock(mutex_);
  if (newest_) gst_sample_unref(newest_);
  newest_ = sample;
}

bool StillCapture::SetParam(uint32_t id, int32_t value) {
  std::lock_guard lock(mutex_);
  if (id == 0x605) {
    if (half_ != (value != 0) && converted_) {
      gst_sample_unref(converted_);
      converted_ = nullptr;
    }
    half_ = value != 0;
    return true;
  }
  if (id < 0x601 || id > 0x604) return false;
  params_[id - 0x601] = value;
  return true;
}

void StillCapture::SetDeinterlace(bool on) {
  std::lock_guard lock(mutex_);
  if (deinterlace_ != on && converted_) {
    gst_sample_unref(converted_);
    converted_ = nullptr;
  }
  deinterlace_ = on;
}

// Makes the DIB of the newest frame unless it was already made from it.
// Called with the mutex held.
bool StillCapture::Convert() {
  if (!newest_) return false;
  if (converted_ == newest_ && !dib_.empty()) return true;
  GstVideoInfo in;
  if (!gst_video_info_from_caps(&in, gst_sample_get_caps(newest_))) return false;
  const int w = half_ ? in.width / 2 : in.width, h = half_ ? in.height / 2 : in.height;
  if (w <= 0 || h <= 0) return false;
  GstCaps* to = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT, w,
                                    "height", G_TYPE_INT, h, nullptr);
  GError* err = nullptr;
  GstSample* single = deinterlace_ ? FirstField(newest_) : nullptr;
  GstSample* bgr = gst_video_convert_sample(single ? single : newest_, to, kConvertTimeout, &err);
  if (single) gst_sample_unref(single);
  gst_caps_unref(to);
  if (err) g_error_free(err);
  if (!bgr) return false;
  GstVideoInfo out;
  GstVideoFrame frame;
  bool ok = gst_video_info_from_caps(&out, gst_sample_get_caps(bgr)) &&
            gst_video_frame_map(&frame, &out, gst_sample_get_buffer(bgr), GST_MAP_READ);
  if (ok) {
    dib_ = MakeDib({static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), out.width, out.height,
                    GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), PixelFormat::Bgr24},
                   false);
    gst_video_frame_unmap(&frame);
    ok = !dib_.empty();
  }
  gst_sample_unref(bgr);
  if (converted_) gst_sample_unref(converted_);
  converted_ = ok ? gst_sample_ref(newest_) : nullptr;
  return ok;
}

int32_t StillCapture::DibSize() {
  std::lock_guard lock(mutex_);
  return Convert() ? static_cast<int32_t>(dib_.size()) : 0;
}

bool StillCapture::CopyDib(uint8_t* buffer, size_t capacity) {
  std::lock_guard lock(mutex_);
  if (!buffer || !Convert() || capacity < dib_.size()) return false;
  std::memcpy(buffer, dib_.data(), dib_.size());
  return true;
}

}  // namespace strova::still
