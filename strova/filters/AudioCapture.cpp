#include "strova/filters/StreamFilters.h"

#include "strova/card/Card.h"
#include "strova/filters/FilterPads.h"

#include <alsa/asoundlib.h>
#include <gst/gst.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <initializer_list>

namespace strova::filters {
namespace {

constexpr const char* kSoundSplit = "sound-split";
constexpr const char* kCardSoundKey = "strova-card-sound";

GstElement* DesktopSoundSource() {
  GstElement* src = gst_element_factory_make("pulsesrc", nullptr);
  if (src && gst_element_set_state(src, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
    gst_element_set_state(src, GST_STATE_NULL);
    gst_object_unref(src);
    src = nullptr;
  } else if (src) {
    gst_element_set_state(src, GST_STATE_NULL);
  }
  return src ? src : gst_element_factory_make("alsasrc", nullptr);
}

// The first listed card's own sound as an input name; empty when it has none.
std::string FirstCardSound() {
  const std::vector<card::CardInfo> cards = card::EnumerateCards();
  if (cards.empty()) return {};
  const card::CardInfo& first = cards.front();
  if (first.isVirtual) return cards.size() == 1 ? first.name + " Audio" : std::string();
  const std::string hw = card::CardSoundDevice(first);
  if (hw.empty()) return {};
  char* alsaName = nullptr;
  std::string name = first.name;
  if (snd_card_get_name(std::atoi(hw.c_str() + 3), &alsaName) == 0 && alsaName && *alsaName) name = alsaName;
  std::free(alsaName);
  return name + " (" + hw + ")";
}

// The desktop's sound sources: the sound server's, or ALSA's where none runs.
std::vector<std::string> DesktopSources() {
  std::vector<std::string> out;
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, "Audio/Source", nullptr);
  GList* devices = gst_device_monitor_get_devices(monitor);
  for (GList* d = devices; d; d = d->next) {
    gchar* name = gst_device_get_display_name(GST_DEVICE(d->data));
    if (name && *name) out.push_back(name);
    g_free(name);
  }
  g_list_free_full(devices, gst_object_unref);
  gst_object_unref(monitor);
  return out;
}

}  // namespace

std::vector<std::string> AudioInputNames() {
  std::vector<std::string> out;
  const std::string own = FirstCardSound();
  if (!own.empty()) out.push_back(own);
  for (std::string& name : DesktopSources()) out.push_back(std::move(name));
  return out;
}

GstElement* MakeAudioCaptureDevice(card::Card* device) {
  GstElement* src = device ? device->CreateAudioSource() : nullptr;
  const bool cardSound = src != nullptr;
  if (!src) src = DesktopSoundSource();
  GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
  GstElement* resample = gst_element_factory_make("audioresample", nullptr);
  GstElement* split = gst_element_factory_make("tee", kSoundSplit);
  GstElement* bin = gst_bin_new("Audio Capture Device");
  if (!src || !convert || !resample || !split || !bin) {
    for (GstElement* e : {src, convert, resample, split, bin})
      if (e) gst_object_unref(e);
    return nullptr;
  }
  // An unlinked "Capture" pin (no recording) must not stop the sound.
  g_object_set(split, "allow-not-linked", TRUE, nullptr);
  gst_bin_add_many(GST_BIN(bin), src, convert, resample, split, nullptr);
  gst_element_link_many(src, convert, resample, split, nullptr);
  GstPad* out = gst_element_request_pad_simple(split, "src_%u");
  GstPad* ghost = out ? gst_ghost_pad_new("Capture", out) : nullptr;
  if (out) gst_object_unref(out);
  if (!ghost || !gst_element_add_pad(bin, ghost)) {
    gst_object_unref(bin);
    return nullptr;
  }
  if (cardSound) g_object_set_data(G_OBJECT(bin), kCardSoundKey, GINT_TO_POINTER(1));
  return bin;
}

GstElement* CardSoundSplit(GstElement* audioDevice) {
  if (!audioDevice || !g_object_get_data(G_OBJECT(audioDevice), kCardSoundKey)) return nullptr;
  GstElement* split = gst_bin_get_by_name(GST_BIN(audioDevice), kSoundSplit);
  if (split) gst_object_unref(split);  // the bin keeps it alive
  return split;
}

bool AudioDeviceExists(card::Card* device) {
  if (device) {
    GstElement* own = device->CreateAudioSource();
    if (own) {
      gst_object_unref(gst_object_ref_sink(own));
      return true;
    }
  }
  return !FirstCardSound().empty() || !DesktopSources().empty();
}

}  // namespace strova::filters
