#include "strova/graph/CardSound.h"

#include "strova/filters/StreamFilters.h"
#include "strova/graph/Branches.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/audio/audio.h>

#include <atomic>
#include <mutex>
#include <string>

namespace strova::graph {
namespace {

std::atomic<bool> g_lineMuted{false};

constexpr const char* kTapName = "sound-tap";
constexpr const char* kPlayerKey = "strova-sound-player";
// The output's ring buffer: 40 ms in 10 ms segments keeps the delay short.
constexpr gint64 kBufferTimeUs = 40000;
constexpr gint64 kLatencyTimeUs = 10000;
// A server that is not there is asked again after this time.
constexpr GstClockTime kRetryAfter = 2 * GST_SECOND;
// Sound waiting for a stalled output beyond this is dropped.
constexpr guint64 kMaxQueued = 200 * GST_MSECOND;

// The sink opened (READY), or null (released) when its device does not answer.
GstElement* Opened(GstElement* sink) {
  if (!sink) return nullptr;
  if (gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE) return sink;
  gst_element_set_state(sink, GST_STATE_NULL);
  gst_object_unref(sink);
  return nullptr;
}

// The desktop's output: the sound server where one answers, else ALSA's
// "default" device; null when neither opens.
GstElement* MakeOutput() {
  GstElement* pulse = gst_element_factory_make("pulsesink", nullptr);
  if (pulse) {
    GstStructure* props = gst_structure_new("props", "media.role", G_TYPE_STRING, "video", nullptr);
    g_object_set(pulse, "stream-properties", props, nullptr);
    gst_structure_free(props);
  }
  GstElement* sink = Opened(pulse);
  if (!sink) {
    GstElement* alsa = gst_element_factory_make("alsasink", nullptr);
    if (alsa) g_object_set(alsa, "device", "default", nullptr);
    sink = Opened(alsa);
  }
  if (sink) g_object_set(sink, "buffer-time", kBufferTimeUs, "latency-time", kLatencyTimeUs, nullptr);
  return sink;
}

// The playback pipeline: appsrc -> taginject (the stream's name) -> volume
// (the line input's mute) -> audioconvert -> audioresample -> output. It runs
// on the graph's clock, so it never drifts from the picture; each block is
// stamped as it arrives from the card and played after the output's short
// latency. A restart of the graph (new base time) or new caps restart it.
class SoundPlayer {
 public:
  ~SoundPlayer() { Close(); }

  // Called on the sound's streaming thread for each buffer of the card.
  void Play(GstElement* tap, GstSample* sample) {
    std::lock_guard<std::mutex> hold(lock_);
    GstBuffer* buf = gst_sample_get_buffer(sample);
    GstCaps* caps = gst_sample_get_caps(sample);
    GstClock* clock = gst_element_get_clock(tap);
    if (!buf || !caps || !clock) {
      if (clock) gst_object_unref(clock);
      return;
    }
    const GstClockTime now = gst_clock_get_time(clock);
    const GstClockTime base = gst_element_get_base_time(tap);
    const bool failed = failed_.exchange(false);
    if (failed || (pipe_ && (base != base_ || !gst_caps_is_equal(caps, caps_)))) Close();
    if (failed) retryAt_ = now + kRetryAfter;
    if (!pipe_ && now >= retryAt_ && !Start(caps, clock, base)) retryAt_ = now + kRetryAfter;
    gst_object_unref(clock);
    if (!pipe_) return;
    ApplyMute();
    // A stalled output drops the card's sound instead of collecting it, and
    // an output still starting takes one block: sound queued before it plays
    // would be stamped all at once and heard late.
    const guint64 queued = gst_app_src_get_current_level_bytes(GST_APP_SRC(src_));
    if (queued > kMaxQueued * bytesPerFrame_ * rate_ / GST_SECOND ||
        (queued > 0 && GST_STATE(pipe_) != GST_STATE_PLAYING))
      return;
    GstBuffer* out = gst_buffer_copy(buf);  // shares the samples
    GST_BUFFER_PTS(out) = GST_BUFFER_DTS(out) = GST_CLOCK_TIME_NONE;  // stamped on arrival
    gst_app_src_push_buffer(GST_APP_SRC(src_), out);
  }

  // Closes the stream on the sound server.
  void Stop() {
    std::lock_guard<std::mutex> hold(lock_);
    Close();
  }

 private:
  void Close() {
    if (!pipe_) return;
    gst_element_set_state(pipe_, GST_STATE_NULL);
    gst_object_unref(pipe_);
    gst_caps_unref(caps_);
    pipe_ = src_ = volume_ = nullptr;
    caps_ = nullptr;
  }

  bool Start(GstCaps* caps, GstClock* clock, GstClockTime base) {
    GstAudioInfo info;
    if (!gst_audio_info_from_caps(&info, caps) || info.bpf <= 0 || info.rate <= 0) return false;
    GstElement* sink = MakeOutput();
    if (!sink) return false;
    GstElement* pipe = gst_pipeline_new("tv-sound");
    GstElement* src = gst_element_factory_make("appsrc", nullptr);
    GstElement* tags = gst_element_factory_make("taginject", nullptr);
    GstElement* volume = gst_element_factory_make("volume", nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    if (!pipe || !src || !tags || !volume || !convert || !resample) {
      gst_element_set_state(sink, GST_STATE_NULL);
      for (GstElement* e : {sink, pipe, src, tags, volume, convert, resample})
        if (e) gst_object_unref(e);
      return false;
    }
    g_object_set(src, "caps", caps, "is-live", TRUE, "do-timestamp", TRUE, "format", GST_FORMAT_TIME, nullptr);
    const std::string title = std::string("title=\"") + kCardSoundName + "\"";
    g_object_set(tags, "tags", title.c_str(), nullptr);
    g_object_set(volume, "mute", g_lineMuted.load() ? TRUE : FALSE, nullptr);
    gst_pipeline_use_clock(GST_PIPELINE(pipe), clock);
    gst_bin_add_many(GST_BIN(pipe), src, tags, volume, convert, resample, sink, nullptr);
    GstBus* bus = gst_element_get_bus(pipe);
    gst_bus_set_sync_handler(bus, OnMessage, this, nullptr);
    gst_object_unref(bus);
    if (!gst_element_link_many(src, tags, volume, convert, resample, sink, nullptr) ||
        gst_element_set_state(pipe, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
      gst_element_set_state(pipe, GST_STATE_NULL);
      gst_object_unref(pipe);
      failed_ = false;
      return false;
    }
    pipe_ = pipe;
    src_ = src;
    volume_ = volume;
    caps_ = gst_caps_ref(caps);
    base_ = base;
    bytesPerFrame_ = gsize(info.bpf);
    rate_ = guint64(info.rate);
    muted_ = g_lineMuted;
    return true;
  }

  void ApplyMute() {
    const bool muted = g_lineMuted;
    if (muted == muted_) return;
    g_object_set(volume_, "mute", muted ? TRUE : FALSE, nullptr);
    muted_ = muted;
  }

  // Nothing reads the stream's bus: every message is dropped here, and an
  // error (the server went away) makes the next buffer rebuild the stream.
  static GstBusSyncReply OnMessage(GstBus*, GstMessage* m, gpointer self) {
    if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) static_cast<SoundPlayer*>(self)->failed_ = true;
    return GST_BUS_DROP;
  }

  std::mutex lock_;  // Play on the streaming thread, Stop on the caller's
  GstElement* pipe_ = nullptr;
  GstElement* src_ = nullptr;
  GstElement* volume_ = nullptr;
  GstCaps* caps_ = nullptr;
  GstClockTime base_ = GST_CLOCK_TIME_NONE;
  gsize bytesPerFrame_ = 4;
  guint64 rate_ = 48000;
  GstClockTime retryAt_ = 0;
  bool muted_ = false;
  std::atomic<bool> failed_{false};
};

GstFlowReturn OnSample(GstAppSink* tap, gpointer data) {
  if (GstSample* sample = gst_app_sink_pull_sample(tap)) {
    static_cast<SoundPlayer*>(data)->Play(GST_ELEMENT(tap), sample);
    gst_sample_unref(sample);
  }
  return GST_FLOW_OK;
}

// tee -> queue -> appsink inside the audio device; the player lives as long
// as the tap.
bool AttachTap(GstElement* device, GstElement* split) {
  GstElement* queue = gst_element_factory_make("queue", nullptr);
  GstElement* tap = gst_element_factory_make("appsink", kTapName);
  if (!queue || !tap) {
    if (queue) gst_object_unref(queue);
    if (tap) gst_object_unref(tap);
    return false;
  }
  g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time",
               guint64{100 * GST_MSECOND}, "leaky", 2 /* downstream */, nullptr);
  // The tap hands each buffer on at once; the player's pipeline waits for
  // its moment. It must not hold up the graph's start either.
  g_object_set(tap, "sync", FALSE, "async", FALSE, "max-buffers", 8u, "drop", TRUE, nullptr);
  auto* player = new SoundPlayer;
  g_object_set_data_full(G_OBJECT(tap), kPlayerKey, player, +[](gpointer p) { delete static_cast<SoundPlayer*>(p); });
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = OnSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(tap), &callbacks, player, nullptr);
  gst_bin_add_many(GST_BIN(device), queue, tap, nullptr);
  return gst_element_link(split, queue) && gst_element_link(queue, tap);
}

GstElement* Tap(core::CardContext& c) {
  GstElement* device = FindFilter(c, kAudioDevice);
  GstElement* tap = device ? gst_bin_get_by_name(GST_BIN(device), kTapName) : nullptr;
  if (tap) gst_object_unref(tap);  // the device keeps it alive
  return tap;
}

// A real card's sound device may be busy or gone: it is tried before it
// joins the graph, whose start it would otherwise fail.
bool Opens(GstElement* device) {
  const bool ok = gst_element_set_state(device, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
  gst_element_set_state(device, GST_STATE_NULL);
  return ok;
}

}  // namespace

bool HasCardSound(core::CardContext& c) { return Tap(c) != nullptr; }

bool AddCardSound(core::CardContext& c) {
  if (HasCardSound(c)) return true;
  if (FindFilter(c, kAudioDevice) || !c.device) return false;
  GstElement* device = filters::MakeAudioCaptureDevice(c.device.get());
  if (!device) return false;
  gst_object_ref_sink(device);
  GstElement* split = filters::CardSoundSplit(device);
  const bool ok = split && AttachTap(device, split) && Opens(device) &&
                  AddFilter(c, GST_ELEMENT(gst_object_ref(device)), kAudioDevice) == S_OK;
  gst_object_unref(device);
  return ok;
}

void CardSoundRunning(core::CardContext& c, bool running) {
  if (running) return;  // the first buffer opens the stream
  GstElement* tap = c.pipeline ? Tap(c) : nullptr;
  auto* player = tap ? static_cast<SoundPlayer*>(g_object_get_data(G_OBJECT(tap), kPlayerKey)) : nullptr;
  if (player) player->Stop();
}

void SetLineInputMute(bool mute) { g_lineMuted = mute; }

}  // namespace strova::graph
