#include "strova/filters/mpeg/MpegRecorder.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace strova::mpeg {
namespace {

constexpr GstClockTime kPullWait = 20 * GST_MSECOND;

// queue ! convert ! caps ! appsink, with the queue's sink as the ghost pad.
GstElement* AddBranch(GstElement* bin, const char* pad, const char* convert, const char* caps) {
  GstElement* queue = gst_element_factory_make("queue", nullptr);
  GstElement* conv = gst_element_factory_make(convert, nullptr);
  GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  if (!queue || !conv || !filter || !sink) {
    for (GstElement* e : {queue, conv, filter, sink})
      if (e) gst_object_unref(e);
    return nullptr;
  }
  // Leaky queue: a slow encoder drops frames instead of stalling the preview.
  g_object_set(queue, "leaky", 2 /* downstream */, "max-size-buffers", 50u, "max-size-time", 2 * GST_SECOND,
               "max-size-bytes", 0u, nullptr);
  GstCaps* c = gst_caps_from_string(caps);
  g_object_set(filter, "caps", c, nullptr);
  gst_caps_unref(c);
  // Not async: an input that gets no data (a recording without sound) must
  // not hold the graph in its paused state waiting for a first buffer.
  g_object_set(sink, "sync", FALSE, "async", FALSE, "max-buffers", 50u, "drop", FALSE, "emit-signals", FALSE,
               nullptr);
  gst_bin_add_many(GST_BIN(bin), queue, conv, filter, sink, nullptr);
  gst_element_link_many(queue, conv, filter, sink, nullptr);
  GstPad* target = gst_element_get_static_pad(queue, "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new(pad, target));
  gst_object_unref(target);
  return sink;
}

// Stream time of a buffer: running time from the segment, so a recording
// starts at zero whenever the graph started.
int64_t RunningTime(GstSample* sample, GstBuffer* buf) {
  const GstSegment* seg = gst_sample_get_segment(sample);
  if (!GST_BUFFER_PTS_IS_VALID(buf) || !seg) return -1;
  guint64 t = gst_segment_to_running_time(seg, GST_FORMAT_TIME, GST_BUFFER_PTS(buf));
  return t == GST_CLOCK_TIME_NONE ? -1 : static_cast<int64_t>(t);
}

// Sets *flag when end-of-stream reaches the sink.
void WatchEos(GstElement* sink, std::atomic<bool>* flag) {
  GstPad* pad = gst_element_get_static_pad(sink, "sink");
  gst_pad_add_probe(
      pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
      +[](GstPad*, GstPadProbeInfo* info, gpointer data) {
        if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) *static_cast<std::atomic<bool>*>(data) = true;
        return GST_PAD_PROBE_OK;
      },
      flag, nullptr);
  gst_object_unref(pad);
}

}  // namespace

MpegRecorder::MpegRecorder(const char* videoPin, const char* audioPin) {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  bin_ = gst_bin_new("Vantrel Multiplexer");
  if (!bin_) return;
  gst_object_ref_sink(bin_);
  videoSink_ = AddBranch(bin_, videoPin, "videoconvert", "video/x-raw,format=I420");
  audioSink_ = AddBranch(bin_, audioPin, "audioconvert",
                         "audio/x-raw,format=S16LE,layout=interleaved,channels=[1,2]");
  if (!videoSink_ || !audioSink_) {
    gst_object_unref(bin_);
    bin_ = nullptr;
    return;
  }
  WatchEos(videoSink_, &videoEos_);
  WatchEos(audioSink_, &audioEos_);
}

MpegRecorder::~MpegRecorder() {
  Stop();
  if (bin_) gst_object_unref(bin_);
}

bool MpegRecorder::Start(const VideoSettings& video, const AudioSettings& audio, const MuxSettings& mux,
                         std::string* error) {
  if (!bin_ || Running()) return false;
  if (!writer_.Open(video, audio, mux, error)) return false;
  audio_ = audio.enabled;
  stop_ = false;
  drained_ = false;
  videoEos_ = false;
  audioEos_ = false;
  frames_ = 0;
  dropped_ = 0;
  status_ = WriteStatus::Ok;
  thread_ = std::thread([this] { Loop(); });
  return true;
}

WriteStatus MpegRecorder::Stop() {
  if (!thread_.joinable()) return status_;
  stop_ = true;
  thread_.join();
  WriteStatus closed = writer_.Close();
  if (status_ == WriteStatus::Ok) status_ = closed;
  return status_;
}

WriteStatus MpegRecorder::Finish(int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (thread_.joinable() && !drained_ && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return Stop();
}

bool MpegRecorder::PullVideo() {
  GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(videoSink_), kPullWait);
  if (!sample) return false;
  GstBuffer* buf = gst_sample_get_buffer(sample);
  GstVideoInfo info;
  GstVideoFrame frame;
  if (buf && gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
      gst_video_frame_map(&frame, &info, buf, GST_MAP_READ)) {
    const int64_t before = writer_.FramesDropped();
    Frame f{static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), info.width, info.height,
            GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), PixelFormat::I420};
    // The writer reads I420 as three consecutive planes; copy when the
    // buffer lays them out differently.
    std::vector<uint8_t> packed;
    const uint8_t* y = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const uint8_t* u = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 1));
    const size_t ySize = static_cast<size_t>(f.stride) * info.height;
    if (u != y + ySize || GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 1) != f.stride / 2) {
      packed.resize(ySize * 3 / 2 + f.stride);
      for (int p = 0; p < 3; ++p) {
        const int h = p == 0 ? info.height : (info.height + 1) / 2;
        const int w = p == 0 ? f.stride : f.stride / 2;
        uint8_t* dst = packed.data() + (p == 0 ? 0 : ySize + (p - 1) * static_cast<size_t>(w) * h);
        const uint8_t* src = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
        const int srcStride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p);
        for (int r = 0; r < h; ++r) std::memcpy(dst + static_cast<size_t>(r) * w, src + static_cast<size_t>(r) * srcStride,
                                           std::min(w, srcStride));
      }
      f.data = packed.data();
    }
    WriteStatus st = writer_.WriteVideo(f, RunningTime(sample, buf));
    gst_video_frame_unmap(&frame);
    if (st != WriteStatus::Ok) status_ = st;
    frames_ = writer_.VideoFramesWritten();
    dropped_ += writer_.FramesDropped() - before;
  }
  gst_sample_unref(sample);
  return true;
}

bool MpegRecorder::PullAudio() {
  GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(audioSink_), 0);
  if (!sample) return false;
  GstBuffer* buf = gst_sample_get_buffer(sample);
  GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
  int rate = 0, channels = 0;
  GstMapInfo map;
  if (buf && s && gst_structure_get_int(s, "rate", &rate) && gst_structure_get_int(s, "channels", &channels) &&
      channels > 0 && gst_buffer_map(buf, &map, GST_MAP_READ)) {
    const int frames = static_cast<int>(map.size / (2 * static_cast<size_t>(channels)));
    if (audio_ && frames > 0) {
      WriteStatus st = writer_.WriteAudio(reinterpret_cast<const int16_t*>(map.data), frames, rate, channels,
                                          RunningTime(sample, buf));
      if (st != WriteStatus::Ok) status_ = st;
    }
    gst_buffer_unmap(buf, &map);
  }
  gst_sample_unref(sample);
  return true;
}

// Reports the end as a graph error: disk full as the "no space left" resource
// error, so it reads as disk full wherever the graph's errors are translated.
void MpegRecorder::Post(WriteStatus status) {
  if (onEnd_) {
    onEnd_(status);
    return;
  }
  GError* err = status == WriteStatus::DiskFull
                    ? g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NO_SPACE_LEFT,
                                          "No space left for the recording")
                    : g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, "The recording failed");
  gst_element_post_message(bin_, gst_message_new_error(GST_OBJECT(bin_), err, nullptr));
  g_error_free(err);
}

void MpegRecorder::Loop() {
  while (!stop_ && status_ == WriteStatus::Ok) {
    PullVideo();
    while (status_ == WriteStatus::Ok && PullAudio()) {
    }
    // Everything up to end-of-stream is written: the file can be closed. (A
    // sink not yet started reads as ended too, hence the flags.)
    if (videoEos_ && gst_app_sink_is_eos(GST_APP_SINK(videoSink_)) &&
        (!audio_ || (audioEos_ && gst_app_sink_is_eos(GST_APP_SINK(audioSink_)))))
      break;
  }
  drained_ = true;
  if (status_ != WriteStatus::Ok) Post(status_);
}

}  // namespace strova::mpeg
