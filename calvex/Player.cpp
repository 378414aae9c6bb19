// playbin driven from the window's timer.
#include "calvex/Player.h"

#include <gst/gst.h>
#include <gst/pbutils/missing-plugins.h>
#include <gst/video/videooverlay.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace calvex {
namespace {

bool Usable(const char* factory) {
    GstElement* e = gst_element_factory_make(factory, nullptr);
    if (!e) return false;
    gst_object_ref_sink(e);
    // xvimagesink opens its port at READY: that fails on a server without
    // a usable adaptor; glimagesink fails there without GL.
    const bool ok = gst_element_set_state(e, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(e, GST_STATE_NULL);
    gst_object_unref(e);
    return ok;
}

// The sound sink: the sound server's when one answers, else a clock-driven
// sink so the picture still plays at its pace.
GstElement* MakeAudioSink() {
    for (const char* f : {"pulsesink", "alsasink"})
        if (Usable(f)) return gst_element_factory_make(f, nullptr);
    GstElement* fake = gst_element_factory_make("fakesink", nullptr);
    if (fake) g_object_set(fake, "sync", TRUE, nullptr);
    return fake;
}

// What the video sink was given; null before the first picture.
GstCaps* SinkCaps(GstElement* pipeline) {
    GstElement* sink = nullptr;
    g_object_get(pipeline, "video-sink", &sink, nullptr);
    if (!sink) return nullptr;
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    GstCaps* caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
    if (pad) gst_object_unref(pad);
    gst_object_unref(sink);
    return caps;
}

}  // namespace

GstElement* MakeVideoSink() {
    const char* forced = std::getenv("TELLURA_VIDEO_SINK");
    const std::string f = forced ? forced : "";
    const char* pick = f == "gl" ? "glimagesink" : f == "xv" ? "xvimagesink" : f == "x" ? "ximagesink" : nullptr;
    if (pick && gst_element_factory_find(pick)) return gst_element_factory_make(pick, nullptr);
    for (const char* s : {"xvimagesink", "ximagesink"})
        if (Usable(s)) return gst_element_factory_make(s, nullptr);
    return gst_element_factory_make("fakesink", nullptr);
}

Player::Player() { gst_init_check(nullptr, nullptr, nullptr); }

Player::~Player() { Close(); }

bool Player::Open(const std::string& path, unsigned long xid, std::string* error) {
    Close();
    GError* err = nullptr;
    gchar* uri = gst_filename_to_uri(path.c_str(), &err);
    if (!uri) {
        if (error) *error = err ? err->message : "The file name cannot be played.";
        if (err) g_error_free(err);
        return false;
    }
    pipeline_ = gst_element_factory_make("playbin", nullptr);
    if (!pipeline_) {
        g_free(uri);
        if (error) *error = "GStreamer's playbin is missing.";
        return false;
    }
    gst_object_ref_sink(pipeline_);
    g_object_set(pipeline_, "uri", uri, "video-sink", MakeVideoSink(), "audio-sink", MakeAudioSink(),
                 "force-aspect-ratio", TRUE, "volume", volume_, nullptr);
    g_free(uri);
    if (xid) gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(pipeline_), guintptr(xid));
    path_ = path;
    playing_ = false;
    soundMissingTold_ = false;
    if (gst_element_set_state(pipeline_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        std::string why;
        Poll(&why);
        if (error) *error = why.empty() ? "The file cannot be played." : why;
        Close();
        return false;
    }
    return true;
}

void Player::Close() {
    if (!pipeline_) return;
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(pipeline_);
    pipeline_ = nullptr;
    playing_ = false;
    path_.clear();
}

void Player::Play() {
    if (!pipeline_) return;
    // At the end, play starts again from the top.
    const double d = Duration(), p = Position();
    if (d > 0 && p >= 0 && p >= d - 0.05) Seek(0);
    gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    playing_ = true;
}

void Player::Pause() {
    if (!pipeline_) return;
    gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    playing_ = false;
}

// The picture's position: after a frame step the sound's sink still reports
// where it stopped.
double Player::Position() const {
    if (!pipeline_) return -1;
    gint64 pos = -1;
    GstElement* sink = nullptr;
    g_object_get(pipeline_, "video-sink", &sink, nullptr);
    if (sink) {
        if (!gst_element_query_position(sink, GST_FORMAT_TIME, &pos)) pos = -1;
        gst_object_unref(sink);
    }
    if (pos < 0 && !gst_element_query_position(pipeline_, GST_FORMAT_TIME, &pos)) return -1;
    return pos < 0 ? -1 : double(pos) / GST_SECOND;
}

double Player::Duration() const {
    gint64 d = 0;
    if (!pipeline_ || !gst_element_query_duration(pipeline_, GST_FORMAT_TIME, &d) || d <= 0) return -1;
    return double(d) / GST_SECOND;
}

void Player::Seek(double seconds) {
    if (!pipeline_) return;
    const gint64 t = gint64(std::max(0.0, seconds) * GST_SECOND);
    gst_element_seek_simple(pipeline_, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), t);
}

// One picture's time on or back, as an accurate seek: the decoder starts
// from the key picture before it, so the picture shown is exact either way
// and the position reads true at once.
void Player::Step(bool forward) {
    if (!pipeline_) return;
    if (playing_) Pause();
    gst_element_get_state(pipeline_, nullptr, nullptr, GST_SECOND);
    double frame = 0.04;
    if (GstCaps* caps = SinkCaps(pipeline_)) {
        gint n = 0, d = 0;
        if (gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &n, &d) && n > 0)
            frame = double(d) / n;
        gst_caps_unref(caps);
    }
    const double p = std::max(0.0, Position());
    const double d = Duration();
    double to = forward ? p + frame : p - frame;
    if (d > 0) to = std::min(to, d - frame / 2);
    Seek(std::max(0.0, to));
}

double Player::ShownPictureTime() const {
    GstSample* sample = nullptr;
    if (pipeline_) g_object_get(pipeline_, "sample", &sample, nullptr);
    if (!sample) return -1;
    GstBuffer* buf = gst_sample_get_buffer(sample);
    const double t = buf && GST_BUFFER_PTS_IS_VALID(buf) ? double(GST_BUFFER_PTS(buf)) / GST_SECOND : -1;
    gst_sample_unref(sample);
    return t;
}

bool Player::PictureSize(int* width, int* height) const {
    GstCaps* caps = pipeline_ ? SinkCaps(pipeline_) : nullptr;
    if (!caps) return false;
    const GstStructure* st = gst_caps_get_structure(caps, 0);
    const bool ok = gst_structure_get_int(st, "width", width) && gst_structure_get_int(st, "height", height);
    gst_caps_unref(caps);
    return ok;
}

void Player::SetVolume(double v) {
    volume_ = std::clamp(v, 0.0, 1.0);
    if (pipeline_) g_object_set(pipeline_, "volume", volume_, nullptr);
}

void Player::Expose() {
    if (pipeline_) gst_video_overlay_expose(GST_VIDEO_OVERLAY(pipeline_));
}

namespace {

// A missing-plugin message: what is missing, and whether it is the sound's.
bool MissingPart(GstMessage* m, std::string* what, bool* sound) {
    if (!gst_is_missing_plugin_message(m)) return false;
    gchar* d = gst_missing_plugin_message_get_description(m);
    const GstStructure* s = gst_message_get_structure(m);
    GstCaps* caps = nullptr;
    gst_structure_get(s, "detail", GST_TYPE_CAPS, &caps, nullptr);
    *sound = caps && gst_caps_get_size(caps) > 0 &&
             g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "audio/");
    if (caps) gst_caps_unref(caps);
    *what = MissingPartText(d ? d : "GStreamer element", *sound);
    g_free(d);
    return true;
}

}  // namespace

std::string MissingPartText(const std::string& description, bool sound) {
    const bool decoder = description.find("decoder") != std::string::npos;
    return std::string(sound ? "No sound: the " : "This recording cannot be played: the ") + description +
           " is not installed (package " + (decoder ? "gstreamer1.0-libav" : "gstreamer1.0-plugins-bad") + ").";
}

Player::Event Player::Poll(std::string* error) {
    if (!pipeline_) return Event::None;
    GstBus* bus = gst_element_get_bus(pipeline_);
    Event ev = Event::None;
    std::string missingPicture, missingSound;
    const auto types = GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR | GST_MESSAGE_ELEMENT);
    while (GstMessage* m = gst_bus_pop_filtered(bus, types)) {
        std::string what;
        bool sound = false;
        if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS && ev == Event::None) {
            ev = Event::Ended;
        } else if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) {
            GError* err = nullptr;
            gst_message_parse_error(m, &err, nullptr);
            if (error && err && missingPicture.empty()) *error = err->message;
            if (err) g_error_free(err);
            ev = Event::Failed;
        } else if (MissingPart(m, &what, &sound)) {
            (sound ? missingSound : missingPicture) = what;
        }
        gst_message_unref(m);
    }
    gst_object_unref(bus);
    // The missing part's name says more than the error that follows it.
    if (!missingPicture.empty()) {
        if (error) *error = missingPicture;
        ev = Event::Failed;
    } else if (!missingSound.empty() && ev == Event::None && !soundMissingTold_) {
        if (error) *error = missingSound;
        soundMissingTold_ = true;
        ev = Event::SoundMissing;
    }
    if (ev == Event::Ended) {
        gst_element_set_state(pipeline_, GST_STATE_PAUSED);
        playing_ = false;
    }
    return ev;
}

}  // namespace calvex
