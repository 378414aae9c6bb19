#include "strova/graph/CardSound.h"

#include "strova/filters/StreamFilters.h"
#include "strova/graph/Branches.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/audio/audio.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// One stream on the sound server: appsrc -> taginject (the stream's name) ->
// volume (the line input's mute) -> audioconvert -> audioresample -> output.
struct Stream {
  GstElement* pipe = nullptr;
  GstElement* src = nullptr;
  GstElement* volume = nullptr;
  GstCaps* caps = nullptr;
  GstClockTime base = GST_CLOCK_TIME_NONE;
  gsize bytesPerFrame = 4;
  guint64 rate = 48000;
  bool muted = false;
};

// Ends a stream and releases it. May wait on the sound server.
void CloseStream(Stream& s) {
  if (!s.pipe) return;
  gst_element_set_state(s.pipe, GST_STATE_NULL);
  gst_object_unref(s.pipe);
  gst_caps_unref(s.caps);
  s = Stream{};
}

// Plays the card's sound. The stream runs on the graph's clock, so it never
// drifts from the picture; each block is stamped as it arrives from the card
// and played after the output's short latency. A restart of the graph (new
// base time) or new caps restart it. The sound server is opened and closed
// on the player's own thread: a server that is slow to answer, or gone, never
// holds up the card's streaming thread, so the picture and a recording go on.
class SoundPlayer {
 public:
  SoundPlayer() : worker_([this] { Work(); }) {}
  ~SoundPlayer() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      quit_ = true;
    }
    wake_.notify_all();
    worker_.join();
    for (Stream& s : retired_) CloseStream(s);
    CloseStream(stream_);
    ClearWanted();
  }

  // Called on the sound's streaming thread for each buffer of the card.
  void Play(GstElement* tap, GstSample* sample) {
    GstBuffer* buf = gst_sample_get_buffer(sample);
    GstCaps* caps = gst_sample_get_caps(sample);
    GstClock* clock = gst_element_get_clock(tap);
    if (!buf || !caps || !clock) {
      if (clock) gst_object_unref(clock);
      return;
    }
    const GstClockTime now = gst_clock_get_time(clock);
    const GstClockTime base = gst_element_get_base_time(tap);
    std::lock_guard<std::mutex> hold(lock_);
    const bool failed = failed_.exchange(false);
    if (failed || (stream_.pipe && (base != stream_.base || !gst_caps_is_equal(caps, stream_.caps)))) Retire();
    if (failed) retryAt_ = now + kRetryAfter;
    if (!stream_.pipe && !opening_ && now >= retryAt_) Want(caps, clock, base);
    gst_object_unref(clock);
    if (!stream_.pipe) return;
    ApplyMute();
    // A stalled output drops the card's sound instead of collecting it, and
    // an output still starting takes one block: sound queued before it plays
    // would be stamped all at once and heard late.
    const guint64 queued = gst_app_src_get_current_level_bytes(GST_APP_SRC(stream_.src));
    if (queued > kMaxQueued * stream_.bytesPerFrame * stream_.rate / GST_SECOND ||
        (queued > 0 && GST_STATE(stream_.pipe) != GST_STATE_PLAYING))
      return;
    GstBuffer* out = gst_buffer_copy(buf);  // shares the samples
    GST_BUFFER_PTS(out) = GST_BUFFER_DTS(out) = GST_CLOCK_TIME_NONE;  // stamped on arrival
    gst_app_src_push_buffer(GST_APP_SRC(stream_.src), out);
  }

  // Closes the stream on the sound server (soon, on the player's thread).
  void Stop() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      Retire();
      if (wantCaps_) opening_ = false;  // not taken up yet: dropped here
      ClearWanted();
      ++generation_;  // a stream still opening is closed when it is ready
    }
    wake_.notify_all();
  }

 private:
  // With lock_ held.
  void Retire() {
    if (!stream_.pipe) return;
    retired_.push_back(stream_);
    stream_ = Stream{};
    wake_.notify_all();
  }
  void Want(GstCaps* caps, GstClock* clock, GstClockTime base) {
    ClearWanted();
    wantCaps_ = gst_caps_ref(caps);
    wantClock_ = GST_CLOCK(gst_object_ref(clock));
    wantBase_ = base;
    opening_ = true;
    wake_.notify_all();
  }
  void ClearWanted() {
    if (wantCaps_) gst_caps_unref(wantCaps_);
    if (wantClock_) gst_object_unref(wantClock_);
    wantCaps_ = nullptr;
    wantClock_ = nullptr;
  }

  // The player's thread: closes retired streams and opens the wanted one.
  void Work() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
      wake_.wait(hold, [this] { return quit_ || !retired_.empty() || wantCaps_; });
      if (quit_) return;
      std::vector<Stream> closing;
      closing.swap(retired_);
      GstCaps* caps = wantCaps_;
      GstClock* clock = wantClock_;
      const GstClockTime base = wantBase_;
      const unsigned generation = generation_;
      wantCaps_ = nullptr;
      wantClock_ = nullptr;
      hold.unlock();
      for (Stream& s : closing) CloseStream(s);
      Stream opened;
      const bool ok = caps && Open(caps, clock, base, opened);
      const GstClockTime now = clock ? gst_clock_get_time(clock) : 0;
      hold.lock();
      if (caps) {
        opening_ = false;
        if (ok && generation == generation_ && !quit_ && !stream_.pipe) stream_ = opened;
        else if (ok) retired_.push_back(opened);
        else retryAt_ = now + kRetryAfter;
        gst_caps_unref(caps);
        gst_object_unref(clock);
      }
    }
  }

  bool Open(GstCaps* caps, GstClock* clock, GstClockTime base, Stream& out) {
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
    const bool muted = g_lineMuted;
    g_object_set(volume, "mute", muted ? TRUE : FALSE, nullptr);
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
    out = Stream{pipe, src, volume, gst_caps_ref(caps), base, gsize(info.bpf), guint64(info.rate), muted};
    return true;
  }

  void ApplyMute() {
    const bool muted = g_lineMuted;
    if (muted == stream_.muted) return;
    g_object_set(stream_.volume, "mute", muted ? TRUE : FALSE, nullptr);
    stream_.muted = muted;
  }

  // Nothing reads the stream's bus: every message is dropped here (a sync
  // handler that drops a message owns it), and an error (the server went
  // away) makes the next buffer rebuild the stream.
  static GstBusSyncReply OnMessage(GstBus*, GstMessage* m, gpointer self) {
    if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) static_cast<SoundPlayer*>(self)->failed_ = true;
    gst_message_unref(m);
    return GST_BUS_DROP;
  }

  std::mutex lock_;  // Play on the streaming thread, Stop on the caller's, Work
  std::condition_variable wake_;
  Stream stream_;                 // the stream playing, if any
  std::vector<Stream> retired_;   // streams for the player's thread to close
  GstCaps* wantCaps_ = nullptr;   // a stream to open, with its clock and base
  GstClock* wantClock_ = nullptr;
  GstClockTime wantBase_ = GST_CLOCK_TIME_NONE;
  bool opening_ = false;
  unsigned generation_ = 0;
  bool quit_ = false;
  GstClockTime retryAt_ = 0;
  std::atomic<bool> failed_{false};
  std::thread worker_;  // last: starts once everything above exists
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
                  AddFilter(c, device, kAudioDevice) == S_OK;
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
