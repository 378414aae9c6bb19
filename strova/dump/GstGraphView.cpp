#include "strova/dump/GstGraphView.h"

#include "platform/Paths.h"

#include <gst/gst.h>

namespace strova::dump {
namespace {

// The format the pin carries; before the graph has run, the format its link
// will agree on (what both sides allow, fixed as negotiation fixes it).
void FillType(GstPad* pad, DumpPin* pin) {
  GstCaps* caps = gst_pad_get_current_caps(pad);
  if (!caps) {
    caps = gst_pad_get_allowed_caps(pad);
    if (caps && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps)) caps = gst_caps_fixate(caps);
  }
  if (!caps || gst_caps_is_any(caps) || gst_caps_get_size(caps) == 0) {
    if (caps) gst_caps_unref(caps);
    return;
  }
  const GstStructure* s = gst_caps_get_structure(caps, 0);
  const char* format = gst_structure_get_string(s, "format");
  MediaTypeFromCaps(gst_structure_get_name(s), format ? format : "", &pin->major, &pin->sub);
  gst_caps_unref(caps);
}

}  // namespace

GstDumpFilter::GstDumpFilter(GstElement* element) : element_(GST_ELEMENT(gst_object_ref(element))) {}

GstDumpFilter::~GstDumpFilter() { gst_object_unref(element_); }

std::string GstDumpFilter::Name() const {
  gchar* name = gst_element_get_name(element_);
  std::string out = name ? name : "";
  g_free(name);
  return out;
}

// Read while the graph is being built or stopped, when pads do not change.
std::vector<DumpPin> GstDumpFilter::Pins() const {
  std::vector<DumpPin> pins;
  for (GList* l = GST_ELEMENT_PADS(element_); l; l = l->next) {
    GstPad* pad = GST_PAD(l->data);
    DumpPin pin;
    pin.name = GST_PAD_NAME(pad);
    pin.output = GST_PAD_DIRECTION(pad) == GST_PAD_SRC;
    GstPad* peer = gst_pad_get_peer(pad);
    if (peer) {
      pin.connected = true;
      FillType(pad, &pin);
      GstElement* owner = gst_pad_get_parent_element(peer);
      pin.peerInfoOk = owner != nullptr;
      if (owner) {
        peers_.push_back(std::make_unique<GstDumpFilter>(owner));
        pin.peerFilter = peers_.back().get();
        pin.peerPin = GST_PAD_NAME(peer);
        pin.peerOutput = GST_PAD_DIRECTION(peer) == GST_PAD_SRC;
        gst_object_unref(owner);
      }
      gst_object_unref(peer);
    }
    pins.push_back(std::move(pin));
  }
  return pins;
}

std::vector<std::string> GraphFilterNames(GstElement* pipeline) {
  std::vector<std::string> names;
  if (!pipeline || !GST_IS_BIN(pipeline)) return names;
  for (GList* l = GST_BIN_CHILDREN(GST_BIN(pipeline)); l; l = l->next) names.push_back(GST_ELEMENT_NAME(l->data));
  return names;
}

std::string DumpGstGraph(int card, GstElement* pipeline, GstElement* capture) {
  if (!capture) return FormatGraphDump(card, nullptr, nullptr);
  GstDumpFilter root(capture);
  if (!pipeline) return FormatGraphDump(card, &root, nullptr);
  std::vector<std::string> names = GraphFilterNames(pipeline);
  return FormatGraphDump(card, &root, &names);
}

std::string DiagnosticPath(const std::string& name) { return plat::StateDir() + name; }

}  // namespace strova::dump
