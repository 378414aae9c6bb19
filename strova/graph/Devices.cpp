// The filters the graph creates itself: the card's streaming device with its
// capture and preview pins, the companion filter with its overlay, the Overlay
// Mixer and the Color Space Converter; and the pin formats of the streaming
// device.
#include "strova/card/Card.h"
#include "strova/filters/FilterPads.h"
#include "strova/graph/Branches.h"
#include "strova/graph/Graph.h"
#include "strova/overlay/VideoOverlay.h"
#include "strova/still/StillCapture.h"

namespace strova::graph {
namespace {

constexpr const char* kFormatNames[2] = {"capture-format", "preview-format"};
const char* PinName(const std::string& localised, const char* fallback) {
  // The device names its pins in the language the library chose at start.
  return localised.empty() ? fallback : localised.c_str();
}

constexpr const char* kDeinterlacers[2] = {"capture-deinterlace", "preview-deinterlace"};

// A branch whose pin is not connected gets no frames, so it costs nothing
// and never reports "not linked".
GstPadProbeReturn DropWhenUnlinked(GstPad*, GstPadProbeInfo*, gpointer ghost) {
  return gst_pad_is_linked(GST_PAD(ghost)) ? GST_PAD_PROBE_OK : GST_PAD_PROBE_DROP;
}

// tee -> queue -> rate -> deinterlace -> videoconvert -> videoscale -> capsfilter -> pin
// The capture pin can deliver another frame rate than the card's (frames
// dropped or repeated; rate is videorate there, identity on the preview pin,
// which shows every frame without delay). Deinterlacing comes before the
// scaling, since a scaled interlaced picture still combs; the preview's
// follows the library's setting, the capture pin's the recording's format.
bool AddBranch(GstElement* bin, GstElement* tee, int pin) {
  const bool capture = pin == 0;
  GstElement* queue = gst_element_factory_make("queue", nullptr);
  GstElement* rate = gst_element_factory_make(capture ? "videorate" : "identity", nullptr);
  GstElement* fields = filters::MakeDeinterlacer(kDeinterlacers[pin], !capture && core::Context().deinterlace);
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  GstElement* scale = gst_element_factory_make("videoscale", nullptr);
  GstElement* format = gst_element_factory_make("capsfilter", kFormatNames[pin]);
  if (!queue || !rate || !fields || !convert || !scale || !format) {
    for (GstElement* e : {queue, rate, fields, convert, scale, format})
      if (e) gst_object_unref(e);
    return false;
  }
  g_object_set(queue, "max-size-buffers", 4u, "max-size-bytes", 0u, "max-size-time", guint64{0}, nullptr);
  gst_bin_add_many(GST_BIN(bin), queue, rate, fields, convert, scale, format, nullptr);
  GstPad* teePad = gst_element_request_pad_simple(tee, "src_%u");
  GstPad* queuePad = gst_element_get_static_pad(queue, "sink");
  const bool linked = teePad && gst_pad_link(teePad, queuePad) == GST_PAD_LINK_OK &&
                      gst_element_link_many(queue, rate, fields, convert, scale, format, nullptr);
  gst_object_unref(queuePad);
  GstPad* out = gst_element_get_static_pad(format, "src");
  const core::LibraryContext& ctx = core::Context();
  const char* pinName = capture ? PinName(ctx.capturePinName, "Capture") : PinName(ctx.previewPinName, "Preview");
  GstPad* ghost = gst_ghost_pad_new(pinName, out);
  gst_object_unref(out);
  const bool added = ghost && gst_element_add_pad(bin, ghost);
  if (teePad) {
    if (added) gst_pad_add_probe(teePad, GST_PAD_PROBE_TYPE_BUFFER, DropWhenUnlinked, ghost, nullptr);
    gst_object_unref(teePad);
  }
  return linked && added;
}

GstElement* Child(GstElement* bin, const char* name) {
  GstElement* e = gst_bin_get_by_name(GST_BIN(bin), name);
  if (e) gst_object_unref(e);  // the bin keeps it alive
  return e;
}

// Applies the stored formats to the pins' caps filters.
void ApplyFormats(core::CardContext& c, GstElement* device) {
  for (int i = 0; i < 2; ++i) {
    GstElement* format = Child(device, kFormatNames[i]);
    if (!format) continue;
    GstCaps* caps = c.pinFormat[i].empty() ? gst_caps_new_any() : gst_caps_from_string(c.pinFormat[i].c_str());
    if (caps) {
      g_object_set(format, "caps", caps, nullptr);
      gst_caps_unref(caps);
    }
  }
}

// What the device delivers: a source with a fixed format says it in its
// "caps" property, others answer a caps query.
GstCaps* DeviceCaps(GstElement* device) {
  GstElement* source = Child(device, "source");
  if (!source) return nullptr;
  GstCaps* caps = nullptr;
  if (g_object_class_find_property(G_OBJECT_GET_CLASS(source), "caps")) g_object_get(source, "caps", &caps, nullptr);
  if (caps && !gst_caps_is_any(caps) && !gst_caps_is_empty(caps)) return caps;
  if (caps) gst_caps_unref(caps);
  GstPad* pad = gst_element_get_static_pad(source, "src");
  if (!pad) return nullptr;
  caps = gst_pad_query_caps(pad, nullptr);
  gst_object_unref(pad);
  return caps;
}

}  // namespace

void SetDeinterlace(core::CardContext& c, int pin, bool on) {
  if (pin != STROVA_PIN_CAPTURE && pin != STROVA_PIN_PREVIEW) return;
  GstElement* d = c.captureFilter ? Child(c.captureFilter, kDeinterlacers[pin - 1]) : nullptr;
  filters::SetDeinterlacer(d, on);
  if (pin == STROVA_PIN_PREVIEW)
    if (still::StillCapture* grabber = still::StillCapture::From(FindFilter(c, kStillCapture)))
      grabber->SetDeinterlace(on);
  // A full-width recording's preview comes through the down-scale filter.
  GstElement* down = pin == STROVA_PIN_PREVIEW ? FindFilter(c, "Vantrel Down Scale Filter") : nullptr;
  if (down) filters::SetDeinterlacer(Child(down, "deinterlace"), on);
}

bool RestartSource(core::CardContext& c, const std::function<bool()>& op) {
  GstElement* source = c.captureFilter ? Child(c.captureFilter, "source") : nullptr;
  if (!source) return op();
  // In the NULL state the device is closed, so its stream is off; started
  // again it reads the device's formats anew and agrees on the new picture.
  gst_element_set_state(source, GST_STATE_NULL);
  const bool ok = op();
  gst_element_sync_state_with_parent(source);
  return ok;
}

GstElement* MakeDeviceBin(core::CardContext& c) {
  if (!c.device) return nullptr;
  GstElement* source = c.device->CreateVideoSource();
  GstElement* tee = gst_element_factory_make("tee", "split");
  if (!source || !tee) {
    if (source) gst_object_unref(source);
    if (tee) gst_object_unref(tee);
    return nullptr;
  }
  gst_element_set_name(source, "source");
  g_object_set(tee, "allow-not-linked", TRUE, nullptr);
  GstElement* bin = gst_bin_new(nullptr);
  gst_bin_add_many(GST_BIN(bin), source, tee, nullptr);
  // The capture pin is the first pin, the preview pin the second.
  const bool ok = gst_element_link(source, tee) && AddBranch(bin, tee, 0) && AddBranch(bin, tee, 1);
  if (!ok) {
    gst_object_unref(bin);
    return nullptr;
  }
  ApplyFormats(c, bin);
  return bin;
}

bool AttachOverlayTo(core::CardContext& c, GstElement* device) {
  overlay::VideoOverlay* ov = overlay::FindOverlay(c.cardFilter);
  GstElement* source = device ? Child(device, "source") : nullptr;
  GstElement* tee = device ? Child(device, "split") : nullptr;
  if (!ov || !ov->Valid() || !source || !tee) return false;
  GstElement* ob = ov->Bin();
  if (GstObject* parent = gst_object_get_parent(GST_OBJECT(ob))) {
    // Leaves the device it was in before (a device rebuilt by a teardown).
    gst_element_set_state(ob, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(parent), ob);
    gst_object_unref(parent);
  }
  gst_element_unlink(source, tee);
  gst_bin_add(GST_BIN(device), ob);
  if (gst_element_link_many(source, ob, tee, nullptr)) return true;
  gst_bin_remove(GST_BIN(device), ob);
  gst_element_link(source, tee);
  return false;
}

GstElement* MakeCompanion() {
  GstElement* bin = gst_bin_new(nullptr);
  auto* ov = new overlay::VideoOverlay();
  overlay::AttachOverlay(bin, ov);
  SetFilterOwner(bin, [bin, ov] {
    overlay::AttachOverlay(bin, nullptr);
    delete ov;
  });
  return bin;
}

GstElement* MakeOverlayMixer() {
  return MakeFilter(gst_element_factory_make("identity", nullptr), "Input0", "Output");
}

GstElement* MakeColorConverter() {
  return MakeFilter(gst_element_factory_make("videoconvert", nullptr), "Input", "XForm Out");
}

STROVA_STATUS EnsureStreamingDevice(core::CardContext& c) {
  if (GstElement* present = FindFilter(c, kStreamingDevice)) {
    if (c.captureFilter != present) {
      if (c.captureFilter) gst_object_unref(c.captureFilter);
      c.captureFilter = GST_ELEMENT(gst_object_ref(present));
    }
    return S_OK;
  }
  GstElement* device = MakeDeviceBin(c);
  if (!device) return E_FAIL;
  AttachOverlayTo(c, device);
  gst_object_ref_sink(device);
  if (AddFilter(c, device, kStreamingDevice) != S_OK) {
    gst_object_unref(device);
    return E_FAIL;
  }
  if (c.captureFilter) gst_object_unref(c.captureFilter);
  c.captureFilter = device;  // keeps the reference taken above
  return S_OK;
}

GstCaps* PinFormat(core::CardContext& c, int pin) {
  if (!c.captureFilter || (pin != STROVA_PIN_CAPTURE && pin != STROVA_PIN_PREVIEW)) return nullptr;
  GstCaps* caps = DeviceCaps(c.captureFilter);
  if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) {
    if (caps) gst_caps_unref(caps);
    return nullptr;
  }
  caps = gst_caps_fixate(caps);
  const std::string& written = c.pinFormat[pin - 1];
  GstCaps* set = written.empty() ? nullptr : gst_caps_from_string(written.c_str());
  if (set && !gst_caps_is_empty(set)) {
    caps = gst_caps_make_writable(caps);
    GstStructure* to = gst_caps_get_structure(caps, 0);
    const GstStructure* from = gst_caps_get_structure(set, 0);
    for (const char* field : {"width", "height", "format", "framerate"})
      if (const GValue* v = gst_structure_get_value(from, field)) gst_structure_set_value(to, field, v);
  }
  if (set) gst_caps_unref(set);
  return caps;
}

bool DeviceFrameRate(core::CardContext& c, int* num, int* den) {
  GstCaps* caps = c.captureFilter ? DeviceCaps(c.captureFilter) : nullptr;
  if (!caps) return false;
  bool ok = !gst_caps_is_empty(caps) && !gst_caps_is_any(caps);
  if (ok) {
    caps = gst_caps_fixate(caps);
    ok = gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", num, den) && *num > 0;
  }
  gst_caps_unref(caps);
  return ok;
}

STROVA_STATUS SetPinFormat(core::CardContext& c, int pin, GstCaps* caps) {
  if (!c.captureFilter || !caps || (pin != STROVA_PIN_CAPTURE && pin != STROVA_PIN_PREVIEW)) return E_FAIL;
  gchar* text = gst_caps_to_string(caps);
  c.pinFormat[pin - 1] = text ? text : "";
  g_free(text);
  GstElement* format = Child(c.captureFilter, kFormatNames[pin - 1]);
  if (!format) return E_FAIL;
  g_object_set(format, "caps", caps, nullptr);
  return S_OK;
}

}  // namespace strova::graph
