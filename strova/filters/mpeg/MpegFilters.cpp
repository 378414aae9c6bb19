#include "strova/filters/mpeg/MpegFilters.h"

#include "strova/filters/FilterPads.h"

#include <gst/gst.h>

namespace strova::mpeg {
namespace {

constexpr uint32_t kMuxFileName = 0x20A;
constexpr uint32_t kMuxRun = 0x208;

// "<in>" -> queue ! convert ! [scale] ! capsfilter -> "<out>"; returns the
// capsfilter (the bin is *bin, with a reference held), or null.
GstElement* MakeEncoderBin(const char* name, const char* in, const char* out, const char* convert,
                           const char* scale, GstElement** bin) {
  GstElement* queue = gst_element_factory_make("queue", nullptr);
  GstElement* conv = gst_element_factory_make(convert, nullptr);
  GstElement* sc = gst_element_factory_make(scale, nullptr);
  GstElement* caps = gst_element_factory_make("capsfilter", nullptr);
  *bin = gst_bin_new(name);
  if (!queue || !conv || !sc || !caps || !*bin) {
    for (GstElement* e : {queue, conv, sc, caps, *bin})
      if (e) gst_object_unref(e);
    *bin = nullptr;
    return nullptr;
  }
  gst_object_ref_sink(*bin);
  // A slow encoder loses frames here instead of holding up the capture stream.
  g_object_set(queue, "leaky", 2 /* downstream */, "max-size-buffers", 25u, "max-size-bytes", 0u,
               "max-size-time", static_cast<guint64>(0), nullptr);
  gst_bin_add_many(GST_BIN(*bin), queue, conv, sc, caps, nullptr);
  gst_element_link_many(queue, conv, sc, caps, nullptr);
  filters::GhostPad(*bin, queue, "sink", in);
  filters::GhostPad(*bin, caps, "src", out);
  return caps;
}

void SetCaps(GstElement* filter, GstCaps* caps) {
  g_object_set(filter, "caps", caps, nullptr);
  gst_caps_unref(caps);
}

bool PadLinked(GstElement* bin, const char* pad) {
  GstPad* p = gst_element_get_static_pad(bin, pad);
  const bool linked = p && gst_pad_is_linked(p);
  if (p) gst_object_unref(p);
  return linked;
}

}  // namespace

std::shared_ptr<MpegFilterSet> MpegFilterSet::Create() {
  if (!gst_is_initialized()) gst_init(nullptr, nullptr);
  std::shared_ptr<MpegFilterSet> set(new MpegFilterSet);
  return set->Build() ? set : nullptr;
}

bool MpegFilterSet::Build() {
  videoCaps_ = MakeEncoderBin("Vantrel MPEG Video Encoder", "Video In", "Video Out", "videoconvert", "videoscale",
                              &video_);
  audioCaps_ = MakeEncoderBin("Vantrel MPEG Audio Encoder", "Audio In", "Audio Out", "audioconvert",
                              "audioresample", &audio_);
  if (!videoCaps_ || !audioCaps_ || !recorder_.Valid()) return false;
  ApplyFormats();
  return true;
}

MpegFilterSet::~MpegFilterSet() {
  Finish();
  for (GstElement* e : {video_, audio_})
    if (e) gst_object_unref(e);
}

void MpegFilterSet::ApplyFormats() {
  const VideoSettings v = params_.Video();
  SetCaps(videoCaps_, gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT,
                                          v.width, "height", G_TYPE_INT, v.height, nullptr));
  const AudioSettings a = params_.Audio(true);
  SetCaps(audioCaps_, gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout", G_TYPE_STRING,
                                          "interleaved", "rate", G_TYPE_INT, a.sampleRate, "channels", G_TYPE_INT,
                                          2, nullptr));
}

bool MpegFilterSet::SetVideoParam(uint32_t id, int32_t value) {
  if (!params_.SetVideo(id, value)) return false;
  ApplyFormats();
  return true;
}

bool MpegFilterSet::SetAudioParam(uint32_t id, int32_t value) { return params_.SetAudio(id, value); }

bool MpegFilterSet::SetMuxParam(uint32_t id, intptr_t value) {
  if (id == kMuxFileName) {
    const char* name = reinterpret_cast<const char*>(value);
    if (!name || !*name) return false;
    params_.SetFileName(name);
    return true;
  }
  if (id == kMuxRun) {
    if (value) return Start();
    Finish();
    return true;
  }
  if (!params_.SetMux(id, static_cast<int32_t>(value))) return false;
  ApplyFormats();  // the stream type decides the sample rate
  return true;
}

bool MpegFilterSet::Start() {
  if (recorder_.Running()) return true;
  const MuxSettings mux = params_.Mux();
  if (mux.path.empty()) {
    error_ = "no file name";
    return false;
  }
  // Sound is recorded when something feeds the audio encoder.
  sound_ = PadLinked(audio_, "Audio In");
  ApplyFormats();
  error_.clear();
  return recorder_.Start(params_.Video(), params_.Audio(sound_), mux, &error_);
}

WriteStatus MpegFilterSet::Finish(int timeoutMs) { return recorder_.Finish(timeoutMs); }

}  // namespace strova::mpeg
