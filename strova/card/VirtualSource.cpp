#include "strova/card/VirtualSource.h"

#include "strova/card/VirtualPicture.h"
#include "strova/card/VirtualSound.h"

#include <gst/video/video.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace strova::card {
namespace {

// Running time of the element's pipeline, or -1 before it runs.
GstClockTimeDiff RunningTime(GstElement* src) {
  GstClock* clock = gst_element_get_clock(src);
  if (clock == nullptr) return -1;
  const GstClockTime now = gst_clock_get_time(clock);
  gst_object_unref(clock);
  return GST_CLOCK_DIFF(gst_element_get_base_time(src), now);
}

// Waits until the pipeline's running time reaches `until`.
void WaitUntil(GstElement* src, GstClockTime until) {
  GstClock* clock = gst_element_get_clock(src);
  if (clock == nullptr) return;
  GstClockID id = gst_clock_new_single_shot_id(clock, gst_element_get_base_time(src) + until);
  gst_clock_id_wait(id, nullptr);
  gst_clock_id_unref(id);
  gst_object_unref(clock);
}

// Common pacing: buffers carry consecutive timestamps and are pushed when
// their period has passed, resynchronised after a restart or a stall.
struct Pacer {
  GstClockTime next = 0;
  GstClockTime Stamp(GstElement* src, GstClockTime duration) {
    const GstClockTimeDiff now = RunningTime(src);
    if (now >= 0 && std::llabs(now - GstClockTimeDiff(next)) > GstClockTimeDiff(GST_SECOND / 2))
      next = GstClockTime(now);
    const GstClockTime pts = next;
    next += duration;
    WaitUntil(src, next);
    return pts;
  }
};

void PushBuffer(GstElement* src, GstBuffer* buf) {
  GstFlowReturn ret = GST_FLOW_OK;
  g_signal_emit_by_name(src, "push-buffer", buf, &ret);
  gst_buffer_unref(buf);
}

GstElement* MakeAppSrc(const char* name, GstCaps* caps, GstClockTime latency) {
  GstElement* src = gst_element_factory_make("appsrc", name);
  if (src == nullptr) {
    gst_caps_unref(caps);
    return nullptr;
  }
  g_object_set(src, "caps", caps, "is-live", TRUE, "format", GST_FORMAT_TIME, "max-buffers",
               guint64{2}, "min-latency", gint64(latency), nullptr);
  gst_caps_unref(caps);
  return src;
}

// Faults the card can be told to make, for tests of what a recording
// counts: TELLURA_VIRTUAL_FAULTS lists "drop@N" (frame N is never
// delivered), "repeat@N" (frame N is delivered twice) and "soundgap@N" (no
// sound during frame N), separated by commas. N counts the frames from the
// stream's start, as a real card's sequence numbers do.
struct Faults {
  std::set<uint64_t> drop, repeat, soundGap;
};

Faults ReadFaults() {
  Faults f;
  const char* text = std::getenv("TELLURA_VIRTUAL_FAULTS");
  std::string list = text ? text : "";
  size_t at = 0;
  while (at < list.size()) {
    size_t end = list.find(',', at);
    if (end == std::string::npos) end = list.size();
    const std::string item = list.substr(at, end - at);
    const size_t sep = item.find('@');
    if (sep != std::string::npos && sep + 1 < item.size()) {
      const uint64_t n = std::strtoull(item.c_str() + sep + 1, nullptr, 10);
      const std::string kind = item.substr(0, sep);
      if (kind == "drop") f.drop.insert(n);
      else if (kind == "repeat") f.repeat.insert(n);
      else if (kind == "soundgap") f.soundGap.insert(n);
    }
    at = end + 1;
  }
  return f;
}

// Sets *flag at each stream start of the source: the counts start again.
void WatchStreamStart(GstElement* src, std::atomic<bool>* flag) {
  GstPad* pad = gst_element_get_static_pad(src, "src");
  if (!pad) return;
  gst_pad_add_probe(
      pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
      +[](GstPad*, GstPadProbeInfo* info, gpointer data) {
        if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_STREAM_START)
          static_cast<std::atomic<bool>*>(data)->store(true);
        return GST_PAD_PROBE_OK;
      },
      flag, nullptr);
  gst_object_unref(pad);
}

// ---------------------------------------------------------------- video
struct VideoFeed {
  std::shared_ptr<VirtualHardware> hw;
  VirtualPicture picture;
  Pacer pacer;
  long standard = 0;
  uint64_t frame = 0;
  Faults faults = ReadFaults();
  uint64_t sequence = 0;  // since the stream started
  std::atomic<bool> started{false};
};

// Interlaced frames with both fields woven into one buffer, in the
// standard's field order, so the elements downstream know how to treat them.
GstCaps* VideoCaps(const VideoMode& m) {
  return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width",
                             G_TYPE_INT, m.width, "height", G_TYPE_INT, m.height, "framerate",
                             GST_TYPE_FRACTION, m.fpsNum, m.fpsDen, "pixel-aspect-ratio",
                             GST_TYPE_FRACTION, 1, 1, "interlace-mode", G_TYPE_STRING,
                             "interleaved", "field-order", G_TYPE_STRING,
                             m.topFieldFirst ? "top-field-first" : "bottom-field-first", nullptr);
}

void OnVideoNeedData(GstElement* src, guint, gpointer data) {
  auto* feed = static_cast<VideoFeed*>(data);
  const VirtualView view = feed->hw->View();
  const VideoMode mode = ModeFor(view.standard);
  if (view.standard != feed->standard) {
    // Standard switch: the new frame size and rate take effect at once.
    GstCaps* caps = VideoCaps(mode);
    g_object_set(src, "caps", caps, nullptr);
    gst_caps_unref(caps);
    feed->standard = view.standard;
  }
  const GstClockTime duration = gst_util_uint64_scale(GST_SECOND, mode.fpsDen, mode.fpsNum);
  if (feed->started.exchange(false)) feed->sequence = 0;
  GstClockTime pts = feed->pacer.Stamp(src, duration);
  // A dropped frame takes its time but never arrives.
  while (feed->faults.drop.count(feed->sequence)) {
    ++feed->sequence;
    ++feed->frame;
    pts = feed->pacer.Stamp(src, duration);
  }
  GstBuffer* buf = gst_buffer_new_allocate(nullptr, I420Frame::Size(mode.width, mode.height), nullptr);
  GstMapInfo map;
  if (!gst_buffer_map(buf, &map, GST_MAP_WRITE)) {
    gst_buffer_unref(buf);
    return;
  }
  I420Frame f = I420Frame::Over(map.data, mode.width, mode.height);
  feed->picture.Render(view, feed->hw->Stations(), feed->frame, double(pts) / GST_SECOND, f,
                       mode.FieldGap(), mode.topFieldFirst);
  gst_buffer_unmap(buf, &map);
  GST_BUFFER_FLAG_SET(buf, GST_VIDEO_BUFFER_FLAG_INTERLACED);
  if (mode.topFieldFirst) GST_BUFFER_FLAG_SET(buf, GST_VIDEO_BUFFER_FLAG_TFF);
  GST_BUFFER_PTS(buf) = pts;
  GST_BUFFER_DURATION(buf) = duration;
  GST_BUFFER_OFFSET(buf) = feed->sequence;
  GST_BUFFER_OFFSET_END(buf) = feed->sequence + 1;
  ++feed->frame;
  // A repeated frame comes again with its own sequence number and time.
  GstBuffer* again = feed->faults.repeat.count(feed->sequence++) ? gst_buffer_copy(buf) : nullptr;
  PushBuffer(src, buf);
  if (again) PushBuffer(src, again);
}

// ---------------------------------------------------------------- audio
struct AudioFeed {
  std::shared_ptr<VirtualHardware> hw;
  VirtualSound sound;
  Pacer pacer;
  uint64_t sample = 0;
  Faults faults = ReadFaults();
  uint64_t block = 0;  // since the stream started
  std::atomic<bool> started{false};
};

constexpr int kAudioBlock = VirtualSound::kRate / 50;  // 20 ms

// True when the sound block overlaps a frame the fault list silences.
bool InSoundGap(const AudioFeed& feed, const VideoMode& mode) {
  if (feed.faults.soundGap.empty()) return false;
  const GstClockTime frame = gst_util_uint64_scale(GST_SECOND, mode.fpsDen, mode.fpsNum);
  const GstClockTime begin = gst_util_uint64_scale(GST_SECOND, feed.block * kAudioBlock, VirtualSound::kRate);
  const GstClockTime end = begin + gst_util_uint64_scale(GST_SECOND, kAudioBlock, VirtualSound::kRate);
  for (uint64_t n = begin / frame; n * frame < end; ++n)
    if (feed.faults.soundGap.count(n)) return true;
  return false;
}

void OnAudioNeedData(GstElement* src, guint, gpointer data) {
  auto* feed = static_cast<AudioFeed*>(data);
  const GstClockTime duration = gst_util_uint64_scale(GST_SECOND, kAudioBlock, VirtualSound::kRate);
  if (feed->started.exchange(false)) feed->block = 0;
  const VideoMode mode = ModeFor(feed->hw->View().standard);
  GstClockTime pts = feed->pacer.Stamp(src, duration);
  while (InSoundGap(*feed, mode)) {
    ++feed->block;
    feed->sample += kAudioBlock;
    pts = feed->pacer.Stamp(src, duration);
  }
  ++feed->block;
  const size_t bytes = size_t(kAudioBlock) * VirtualSound::kChannels * sizeof(int16_t);
  GstBuffer* buf = gst_buffer_new_allocate(nullptr, bytes, nullptr);
  GstMapInfo map;
  if (!gst_buffer_map(buf, &map, GST_MAP_WRITE)) {
    gst_buffer_unref(buf);
    return;
  }
  feed->sound.Render(feed->hw->View(), feed->hw->Stations(), feed->sample,
                     reinterpret_cast<int16_t*>(map.data), kAudioBlock);
  gst_buffer_unmap(buf, &map);
  feed->sample += kAudioBlock;
  GST_BUFFER_PTS(buf) = pts;
  GST_BUFFER_DURATION(buf) = duration;
  PushBuffer(src, buf);
}

template <typename Feed>
void DeleteFeed(gpointer data, GClosure*) {
  delete static_cast<Feed*>(data);
}

}  // namespace

GstElement* MakeVirtualVideoSource(std::shared_ptr<VirtualHardware> hw) {
  const long standard = hw->Standard();
  const VideoMode mode = ModeFor(standard);
  GstElement* src = MakeAppSrc(nullptr, VideoCaps(mode),
                               gst_util_uint64_scale(GST_SECOND, mode.fpsDen, mode.fpsNum));
  if (src == nullptr) return nullptr;
  auto* feed = new VideoFeed{};
  feed->hw = std::move(hw);
  feed->standard = standard;
  WatchStreamStart(src, &feed->started);
  g_signal_connect_data(src, "need-data", G_CALLBACK(OnVideoNeedData), feed,
                        DeleteFeed<VideoFeed>, GConnectFlags(0));
  return src;
}

GstElement* MakeVirtualAudioSource(std::shared_ptr<VirtualHardware> hw) {
  GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate",
                                      G_TYPE_INT, VirtualSound::kRate, "channels", G_TYPE_INT,
                                      VirtualSound::kChannels, "layout", G_TYPE_STRING,
                                      "interleaved", nullptr);
  GstElement* src = MakeAppSrc(nullptr, caps, 20 * GST_MSECOND);
  if (src == nullptr) return nullptr;
  auto* feed = new AudioFeed{};
  feed->hw = std::move(hw);
  WatchStreamStart(src, &feed->started);
  g_signal_connect_data(src, "need-data", G_CALLBACK(OnAudioNeedData), feed,
                        DeleteFeed<AudioFeed>, GConnectFlags(0));
  return src;
}

}  // namespace strova::card
