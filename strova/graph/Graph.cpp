// The base graph of a connection and its release.
#include "strova/graph/Graph.h"

#include "strova/card/Card.h"
#include "strova/graph/Branches.h"
#include "strova/graph/VideoWindow.h"

namespace strova::graph {
namespace {

constexpr unsigned kFail = static_cast<unsigned>(E_FAIL);

// Builds the base graph's steps; the caller releases on failure.
STROVA_STATUS BuildSteps(int card, core::CardContext& c) {
  const auto infos = card::EnumerateCards();
  if (card < 0 || static_cast<size_t>(card) >= infos.size()) return E_FAIL;
  // Each card streams its own device (not the first one of a matching name).
  std::string why;
  c.device = card::OpenCard(infos[static_cast<size_t>(card)], &why);
  if (c.device) c.device->SetStreamPause([&c](const std::function<bool()>& op) { return RestartSource(c, op); });
  GstElement* base = c.device ? MakeDeviceBin(c) : nullptr;
  if (!base) {
    if (!why.empty()) {
      // A device answering nonsense: the reason goes to the log as well.
      g_warning("%s: %s", infos[static_cast<size_t>(card)].devicePath.c_str(), why.c_str());
      core::SetDiagnostic("Error %x: Cannot create video capture filter: %s", kFail, why.c_str());
    } else {
      core::SetDiagnostic("Error %x: Cannot create video capture filter", kFail);
    }
    return E_FAIL;
  }
  c.pipeline = gst_pipeline_new(nullptr);
  if (!c.pipeline) {
    gst_object_unref(base);
    core::SetDiagnostic("MakeGraph() fail : Cannot instantiate filtergraph");
    return E_FAIL;
  }
  gst_object_ref_sink(c.pipeline);
  c.events = std::make_unique<EventQueue>(c.pipeline, card);
  c.events->SetNotifyWindow(c.notifyWindow, c.notifyMessage);
  if (AddFilter(c, base, kBaseDevice) != S_OK) {
    core::SetDiagnostic("Error %x: Cannot add vidcap to filtergraph", kFail);
    return E_FAIL;
  }
  GstElement* companion = MakeCompanion();
  if (!companion) {
    core::SetDiagnostic("Can't create Zento Filter");
    return E_FAIL;
  }
  if (AddFilter(c, companion, kCompanion) != S_OK) {
    core::SetDiagnostic("Can't add Zento Filter to Filter Graph");
    return E_FAIL;
  }
  c.cardFilter = FindFilter(c, kCompanion);
  if (!AttachOverlayTo(c, FindFilter(c, kBaseDevice))) return E_FAIL;
  c.captureIsVideo = 1;
  if (AddFilter(c, MakeOverlayMixer(), kOverlayMixer) != S_OK) {
    core::SetDiagnostic("No add Overlay Mixer to Filter Graph");
    return E_FAIL;
  }
  RemoveFilter(c, kBaseDevice);
  if (EnsureStreamingDevice(c) != S_OK) return E_FAIL;
  if (AddFilter(c, MakeRenderer(), kRenderer) != S_OK) return E_FAIL;
  c.renderer = FindFilter(c, kRenderer);
  // Card control start-up, in its order.
  if (c.device->AttachCaptureFilter() != 0 || c.device->OpenCard() != 0 || c.device->StartCard() != 0)
    return E_FAIL;
  // Stopped, with the devices open, so that their formats can be read.
  return SetState(c, STROVA_STATE_STOPPED) == S_OK ? S_OK : E_FAIL;
}

}  // namespace

STROVA_STATUS BuildBase(int card, core::CardContext& c) {
  // A failed step releases what was built, so the card can be connected
  // again (never left with a graph that only a disconnect could release).
  const STROVA_STATUS st = BuildSteps(card, c);
  if (st < 0) Release(card, c);
  else core::Context().lastConnectedCard = card;
  return st;
}

void Release(int card, core::CardContext& c) {
  c.videoWindow.reset();
  if (c.pipeline) {
    gst_element_set_state(c.pipeline, GST_STATE_NULL);
    // Each filter leaves through RemoveFilter so its owner is released.
    for (const std::string& name : FilterNames(c)) RemoveFilter(c, name.c_str());
    c.events.reset();
    gst_object_unref(c.pipeline);
  }
  c.events.reset();
  if (c.captureFilter) gst_object_unref(c.captureFilter);
  c.pipeline = c.captureFilter = c.cardFilter = c.renderer = nullptr;
  if (c.device) {
    // Card control shut-down, in its order.
    c.device->CloseCard();
    c.device->StopCard();
    c.device->DetachCaptureFilter();
  }
  c.device.reset();
  c.previewBuilt = c.captureBuilt = c.capturing = 0;
  c.graphState = STROVA_STATE_STOPPED;
  if (core::Context().lastConnectedCard == card) core::Context().lastConnectedCard = -1;
}

bool NextEvent(core::CardContext& c, GraphEvent* ev) { return c.events && c.events->Next(ev); }

}  // namespace strova::graph
