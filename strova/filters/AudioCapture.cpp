#include "strova/filters/StreamFilters.h"

#include "strova/card/Card.h"
#include "strova/filters/FilterPads.h"

#include <gst/gst.h>

#include <initializer_list>

namespace strova::filters {
namespace {

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

}  // namespace

GstElement* MakeAudioCaptureDevice(card::Card* device) {
  GstElement* src = device ? device->CreateAudioSource() : nullptr;
  if (!src) src = DesktopSoundSource();
  GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
  GstElement* resample = gst_element_factory_make("audioresample", nullptr);
  GstElement* bin = gst_bin_new("Audio Capture Device");
  if (!src || !convert || !resample || !bin) {
    for (GstElement* e : {src, convert, resample, bin})
      if (e) gst_object_unref(e);
    return nullptr;
  }
  gst_bin_add_many(GST_BIN(bin), src, convert, resample, nullptr);
  gst_element_link_many(src, convert, resample, nullptr);
  GhostPad(bin, resample, "src", "Capture");
  return bin;
}

bool AudioDeviceExists(card::Card* device) {
  for (const auto& info : card::EnumerateCards())
    if (info.isVirtual) return true;  // the virtual card always has sound
  if (device) {
    GstElement* own = device->CreateAudioSource();
    if (own) {
      gst_object_unref(gst_object_ref_sink(own));
      return true;
    }
  }
  GstElementFactory* f = gst_element_factory_find("pulsesrc");
  if (!f) f = gst_element_factory_find("alsasrc");
  if (f) gst_object_unref(f);
  return f != nullptr;
}

}  // namespace strova::filters
