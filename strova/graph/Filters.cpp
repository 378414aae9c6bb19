// Named filters and pins of a card's graph: find, add, remove, connect with
// converters where formats differ, disconnect and remove-downstream.
#include "strova/graph/Branches.h"

#include <cstdio>
#include <cstring>

namespace strova::graph {
namespace {

constexpr const char* kOwnerKey = "strova-filter-owner";
constexpr const char* kParamsKey = "strova-filter-params";
constexpr const char* kAutoKey = "strova-auto-converter";

GstBin* Graph(core::CardContext& c) { return c.pipeline ? GST_BIN(c.pipeline) : nullptr; }

// The filter a pin belongs to when that filter sits directly in the graph.
GstElement* FilterOf(core::CardContext& c, GstPad* pad) {
  if (!pad) return nullptr;
  GstObject* parent = gst_pad_get_parent(pad);
  if (!parent) return nullptr;
  GstElement* filter = GST_IS_ELEMENT(parent) && GST_OBJECT_PARENT(parent) == GST_OBJECT(c.pipeline)
                           ? GST_ELEMENT(parent)
                           : nullptr;
  gst_object_unref(parent);
  return filter;
}

// Clears the record's pointers to a filter that is leaving the graph; the
// capture filter's pointer holds a reference of its own, given back here.
void Forget(core::CardContext& c, GstElement* filter) {
  if (c.captureFilter == filter) {
    gst_object_unref(c.captureFilter);
    c.captureFilter = nullptr;
  }
  if (c.cardFilter == filter) c.cardFilter = nullptr;
  if (c.renderer == filter) c.renderer = nullptr;
}

// Name not yet in the graph: base, then "base 0001", "base 0002" ...
std::string FreeName(core::CardContext& c, const char* base) {
  if (!FindFilter(c, base)) return base;
  for (int n = 1; n < 10000; ++n) {
    char name[160];
    std::snprintf(name, sizeof name, "%s %04d", base, n);
    if (!FindFilter(c, name)) return name;
  }
  return {};
}

bool IsVideo(GstCaps* caps) {
  if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return true;
  return g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
}

// A converter filter for the kind of data the output pin carries.
GstElement* MakeConverter(GstPad* out) {
  GstCaps* caps = gst_pad_query_caps(out, nullptr);
  const bool video = IsVideo(caps);
  if (caps) gst_caps_unref(caps);
  const char* desc = video ? "videoconvert ! videoscale" : "audioconvert ! audioresample";
  GError* err = nullptr;
  GstElement* bin = gst_parse_bin_from_description(desc, FALSE, &err);
  if (err) g_error_free(err);
  if (!bin) return nullptr;
  GstElement* first = nullptr;
  GstElement* last = nullptr;
  GstIterator* it = gst_bin_iterate_sorted(GST_BIN(bin));
  GValue v = G_VALUE_INIT;
  while (gst_iterator_next(it, &v) == GST_ITERATOR_OK) {  // sinks first
    GstElement* e = GST_ELEMENT(g_value_get_object(&v));
    if (!last) last = e;
    first = e;
    g_value_reset(&v);
  }
  g_value_unset(&v);
  gst_iterator_free(it);
  GstPad* sink = gst_element_get_static_pad(first, "sink");
  GstPad* src = gst_element_get_static_pad(last, "src");
  gst_element_add_pad(bin, gst_ghost_pad_new(video ? "Input" : "in0", sink));
  gst_element_add_pad(bin, gst_ghost_pad_new(video ? "XForm Out" : "out0", src));
  gst_object_unref(sink);
  gst_object_unref(src);
  g_object_set_data(G_OBJECT(bin), kAutoKey, GINT_TO_POINTER(1));
  gst_element_set_name(bin, video ? "Color Space Converter" : "Audio Converter");
  return bin;
}

bool FormatsMeet(GstPad* out, GstPad* in) {
  GstCaps* a = gst_pad_query_caps(out, nullptr);
  GstCaps* b = gst_pad_query_caps(in, nullptr);
  const bool meet = a && b && gst_caps_can_intersect(a, b);
  if (a) gst_caps_unref(a);
  if (b) gst_caps_unref(b);
  return meet;
}

bool LinkThroughConverter(core::CardContext& c, GstPad* out, GstPad* in) {
  GstElement* conv = MakeConverter(out);
  if (!conv) return false;
  const std::string name = FreeName(c, GST_ELEMENT_NAME(conv));
  if (name.empty() || AddFilter(c, conv, name.c_str()) != S_OK) return false;
  GstPad* cin = FindPin(conv, nullptr, GST_PAD_SINK);
  GstPad* cout = FindPin(conv, nullptr, GST_PAD_SRC);
  if (gst_pad_link(out, cin) == GST_PAD_LINK_OK && gst_pad_link(cout, in) == GST_PAD_LINK_OK) return true;
  RemoveFilter(c, name.c_str());
  return false;
}

// Unlinks a pin from its peer; a converter placed by ConnectPins on the far
// side goes with it.
void Unlink(core::CardContext& c, GstPad* pad) {
  GstPad* peer = gst_pad_get_peer(pad);
  if (!peer) return;
  if (GST_PAD_IS_SRC(pad)) gst_pad_unlink(pad, peer);
  else gst_pad_unlink(peer, pad);
  GstElement* other = FilterOf(c, peer);
  gst_object_unref(peer);
  if (other && g_object_get_data(G_OBJECT(other), kAutoKey)) {
    const std::string name = GST_ELEMENT_NAME(other);
    RemoveFilter(c, name.c_str());
  }
}

void ReleaseOwner(GstElement* filter) {
  auto* release = static_cast<std::function<void()>*>(g_object_steal_data(G_OBJECT(filter), kOwnerKey));
  if (!release) return;
  (*release)();
  delete release;
}

}  // namespace

GstElement* FindFilter(core::CardContext& c, const char* name) {
  GstBin* graph = Graph(c);
  if (!graph || !name) return nullptr;
  // Only the graph's own filters count, not elements inside them.
  GST_OBJECT_LOCK(graph);
  GstElement* found = nullptr;
  for (GList* l = graph->children; l && !found; l = l->next)
    if (!std::strcmp(GST_ELEMENT_NAME(l->data), name)) found = GST_ELEMENT(l->data);
  GST_OBJECT_UNLOCK(graph);
  return found;
}

STROVA_STATUS AddFilter(core::CardContext& c, GstElement* bin, const char* name) {
  if (!bin) return E_FAIL;
  gst_object_ref_sink(bin);
  const bool ok = Graph(c) && name && *name && !FindFilter(c, name) && gst_element_set_name(bin, name) &&
                  gst_bin_add(Graph(c), bin);
  if (!ok) {
    ReleaseOwner(bin);
    gst_object_unref(bin);
    return E_FAIL;
  }
  gst_object_unref(bin);  // the graph holds the filter now
  return S_OK;
}

bool RemoveFilter(core::CardContext& c, const char* name) {
  GstElement* filter = FindFilter(c, name);
  if (!filter) return false;
  gst_object_ref(filter);
  for (const PinInfo& p : Pins(filter)) {
    GstPad* pad = FindPin(filter, p.name.c_str(), p.direction);
    if (pad && gst_pad_is_linked(pad)) {
      GstPad* peer = gst_pad_get_peer(pad);
      if (GST_PAD_IS_SRC(pad)) gst_pad_unlink(pad, peer);
      else gst_pad_unlink(peer, pad);
      gst_object_unref(peer);
    }
  }
  gst_element_set_state(filter, GST_STATE_NULL);
  gst_bin_remove(Graph(c), filter);
  Forget(c, filter);
  ReleaseOwner(filter);
  gst_object_unref(filter);
  return true;
}

std::vector<std::string> FilterNames(core::CardContext& c) {
  std::vector<std::string> names;
  GstBin* graph = Graph(c);
  if (!graph) return names;
  GST_OBJECT_LOCK(graph);
  for (GList* l = graph->children; l; l = l->next) names.emplace_back(GST_ELEMENT_NAME(l->data));
  GST_OBJECT_UNLOCK(graph);
  return names;
}

GstElement* MakeFilter(GstElement* element, const char* inPin, const char* outPin) {
  if (!element) return nullptr;
  GstElement* bin = gst_bin_new(nullptr);
  gst_bin_add(GST_BIN(bin), element);
  const char* names[2] = {inPin, outPin};
  const char* pads[2] = {"sink", "src"};
  for (int i = 0; i < 2; ++i) {
    if (!names[i]) continue;
    GstPad* pad = gst_element_get_static_pad(element, pads[i]);
    if (!pad) {
      gst_object_unref(bin);
      return nullptr;
    }
    gst_element_add_pad(bin, gst_ghost_pad_new(names[i], pad));
    gst_object_unref(pad);
  }
  return bin;
}

GstPad* FindPin(GstElement* filter, const char* name, GstPadDirection direction) {
  if (!filter) return nullptr;
  GstPad* found = nullptr;
  GST_OBJECT_LOCK(filter);
  for (GList* l = filter->pads; l && !found; l = l->next) {
    GstPad* pad = GST_PAD(l->data);
    if (GST_PAD_DIRECTION(pad) != direction) continue;
    if (!name || !std::strcmp(GST_PAD_NAME(pad), name)) found = pad;
  }
  GST_OBJECT_UNLOCK(filter);
  return found;
}

std::vector<PinInfo> Pins(GstElement* filter) {
  std::vector<PinInfo> pins;
  if (!filter) return pins;
  GST_OBJECT_LOCK(filter);
  for (GList* l = filter->pads; l; l = l->next) {
    GstPad* pad = GST_PAD(l->data);
    pins.push_back({GST_PAD_NAME(pad), GST_PAD_DIRECTION(pad), GST_PAD_PEER(pad) != nullptr});
  }
  GST_OBJECT_UNLOCK(filter);
  return pins;
}

bool ConnectPins(core::CardContext& c, const char* fromFilter, const char* outPin, const char* toFilter,
                 const char* inPin) {
  GstPad* out = FindPin(FindFilter(c, fromFilter), outPin, GST_PAD_SRC);
  GstPad* in = FindPin(FindFilter(c, toFilter), inPin, GST_PAD_SINK);
  if (!out || !in || gst_pad_is_linked(out) || gst_pad_is_linked(in)) return false;
  if (FormatsMeet(out, in) && gst_pad_link(out, in) == GST_PAD_LINK_OK) return true;
  return LinkThroughConverter(c, out, in);
}

bool DisconnectPins(core::CardContext& c, const char* fromFilter, const char* outPin, const char* toFilter,
                    const char* inPin) {
  GstPad* out = FindPin(FindFilter(c, fromFilter), outPin, GST_PAD_SRC);
  GstPad* in = FindPin(FindFilter(c, toFilter), inPin, GST_PAD_SINK);
  if (!out || !in) return false;
  Unlink(c, out);
  Unlink(c, in);
  return true;
}

STROVA_STATUS RemoveDownstream(core::CardContext& c, const char* filterName, int pinPosition) {
  GstElement* filter = FindFilter(c, filterName);
  if (!filter || pinPosition < 0) return E_FAIL;
  const std::vector<PinInfo> pins = Pins(filter);
  for (size_t i = 0; i < pins.size(); ++i) {
    if (pinPosition != 0 && i + 1 != static_cast<size_t>(pinPosition)) continue;
    GstPad* pad = FindPin(filter, pins[i].name.c_str(), pins[i].direction);
    GstPad* peer = pad ? gst_pad_get_peer(pad) : nullptr;
    if (!peer) continue;
    const bool downstream = GST_PAD_IS_SINK(peer);
    GstElement* next = FilterOf(c, peer);
    gst_object_unref(peer);
    if (!downstream) continue;
    if (!next) return E_FAIL;
    const std::string name = GST_ELEMENT_NAME(next);
    if (RemoveDownstream(c, name.c_str(), 0) != S_OK || !RemoveFilter(c, name.c_str())) return E_FAIL;
  }
  return S_OK;
}

void SetFilterOwner(GstElement* filter, std::function<void()> release) {
  if (!filter) return;
  ReleaseOwner(filter);
  g_object_set_data(G_OBJECT(filter), kOwnerKey, new std::function<void()>(std::move(release)));
}

void AttachParams(GstElement* filter, ParamSetter setter) {
  if (!filter) return;
  g_object_set_data_full(G_OBJECT(filter), kParamsKey, new ParamSetter(std::move(setter)),
                         [](gpointer p) { delete static_cast<ParamSetter*>(p); });
}

bool SetFilterParam(GstElement* filter, uint32_t id, intptr_t value) {
  auto* setter = filter ? static_cast<ParamSetter*>(g_object_get_data(G_OBJECT(filter), kParamsKey)) : nullptr;
  return setter && (*setter)(id, value);
}

}  // namespace strova::graph
