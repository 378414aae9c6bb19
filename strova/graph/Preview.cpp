// The preview branch, its teardown and the recording teardown, the video
// window set-up, run state and posted events.
#include "strova/filters/FilterPads.h"
#include "strova/graph/Branches.h"
#include "strova/graph/CardSound.h"
#include "strova/graph/Graph.h"
#include "strova/graph/VideoWindow.h"
#include "strova/still/StillCapture.h"

#include <atomic>

namespace strova::graph {
namespace {

constexpr const char* kVideoEncoder = "Vantrel MPEG Video Encoder";
constexpr const char* kDownScale = "Vantrel Down Scale Filter";
constexpr long kChildClipSiblings = 0x44000000;

std::atomic<BranchBuilder> g_recordingBuilder{nullptr};

const char* CapturePin() { return core::Context().capturePinName.c_str(); }
const char* PreviewPin() { return core::Context().previewPinName.c_str(); }
bool Overlay() { return core::Context().displayMode == 1; }

// The mixer (overlay mode) or converter in the preview path, and its pins.
const char* Mixer() { return Overlay() ? kOverlayMixer : kConverter; }
const char* MixerIn() { return Overlay() ? "Input0" : "Input"; }
const char* MixerOut() { return Overlay() ? "Output" : "XForm Out"; }

void SetStillParam(core::CardContext& c, uint32_t id, int32_t value) {
  if (still::StillCapture* g = still::StillCapture::From(FindFilter(c, kStillCapture))) g->SetParam(id, value);
}

// Unlinks one pin of a filter from whatever it is connected to.
void UnlinkPin(core::CardContext& c, const char* filter, const char* pin, GstPadDirection dir) {
  GstPad* pad = FindPin(FindFilter(c, filter), pin, dir);
  GstPad* peer = pad ? gst_pad_get_peer(pad) : nullptr;
  if (!peer) return;
  if (dir == GST_PAD_SRC) gst_pad_unlink(pad, peer);
  else gst_pad_unlink(peer, pad);
  gst_object_unref(peer);
}

bool AddStillCapture(core::CardContext& c) {
  auto* grabber = new still::StillCapture();
  if (!grabber->Valid()) {
    delete grabber;
    return false;
  }
  grabber->SetDeinterlace(core::Context().deinterlace != 0);
  GstElement* bin = grabber->Bin();
  SetFilterOwner(bin, [grabber] { delete grabber; });
  return AddFilter(c, bin, kStillCapture) == S_OK;
}

// Adds each preview filter that is not in the graph.
bool AddPreviewFilters(core::CardContext& c) {
  bool ok = FindFilter(c, kStillCapture) || AddStillCapture(c);
  if (!FindFilter(c, kOverlayMixer)) ok = AddFilter(c, MakeOverlayMixer(), kOverlayMixer) == S_OK && ok;
  if (!FindFilter(c, kRenderer)) {
    ok = AddFilter(c, MakeRenderer(), kRenderer) == S_OK && ok;
    c.renderer = FindFilter(c, kRenderer);
  }
  if (!FindFilter(c, kConverter)) ok = AddFilter(c, MakeColorConverter(), kConverter) == S_OK && ok;
  return ok;
}

// The preview pin's format for the display mode: colour code 2 at 640 x 480
// through the mixer, colour code 1 at 320 x 240 through the converter.
bool SetPreviewFormat(core::CardContext& c) {
  VideoInfo info{};
  if (ReadPinInfo(c, STROVA_PIN_PREVIEW, &info) < 0) return false;
  info.colorCode = Overlay() ? 2 : 1;
  info.bmi.width = Overlay() ? 640 : 320;
  info.bmi.height = Overlay() ? 480 : 240;
  return WritePinInfo(c, info, STROVA_PIN_PREVIEW) >= 0;
}

// Reports picture size changes at the renderer's input.
GstPadProbeReturn WatchSize(GstPad*, GstPadProbeInfo* info, gpointer data) {
  int w = 0, h = 0;
  if (strova::filters::CapsEventSize(info, &w, &h)) static_cast<EventQueue*>(data)->VideoSize(w, h);
  return GST_PAD_PROBE_OK;
}

}  // namespace

void SetRecordingBuilder(BranchBuilder builder) { g_recordingBuilder.store(builder); }

STROVA_STATUS BuildRecording(core::CardContext& c) {
  BranchBuilder build = g_recordingBuilder.load();
  return build ? build(c) : E_FAIL;
}

STROVA_STATUS BuildPreview(core::CardContext& c) {
  if (c.previewBuilt) return S_OK;
  if (c.capturing || c.graphState == STROVA_STATE_RUNNING || !c.captureFilter) return E_FAIL;
  if (EnsureStreamingDevice(c) != S_OK) return E_FAIL;
  DisconnectPins(c, Mixer(), MixerOut(), kRenderer, "Input");
  AddPreviewFilters(c);
  AddCardSound(c);  // the sound plays while the preview runs; none is no failure
  // Links left from a recording or a direct preview link.
  UnlinkPin(c, kStreamingDevice, CapturePin(), GST_PAD_SRC);
  UnlinkPin(c, kVideoEncoder, "Video In", GST_PAD_SINK);
  UnlinkPin(c, kStreamingDevice, PreviewPin(), GST_PAD_SRC);
  UnlinkPin(c, kOverlayMixer, "Input0", GST_PAD_SINK);
  if (!SetPreviewFormat(c)) return E_FAIL;
  SetStillParam(c, 0x601, 0);
  // The links' results do not decide success: a pin the language does not
  // name leaves the preview without a picture, as designed.
  ConnectPins(c, kStreamingDevice, PreviewPin(), kStillCapture, "Input");
  ConnectPins(c, kStillCapture, "Output", Mixer(), MixerIn());
  SetStillParam(c, 0x602, 3);
  SetStillParam(c, 0x603, 2);
  ConnectPins(c, Mixer(), MixerOut(), kRenderer, "Input");
  AttachWindow(c);
  c.previewBuilt = 1;
  return S_OK;
}

void TeardownPreview(core::CardContext& c) {
  DisconnectPins(c, kStreamingDevice, PreviewPin(), kStillCapture, "Input");
  DisconnectPins(c, kStillCapture, "Output", kOverlayMixer, "Input0");
  DisconnectPins(c, kStillCapture, "Output", kConverter, "Input");
  DetachWindow(c);
  if (c.captureFilter) {
    const std::string name = GST_ELEMENT_NAME(c.captureFilter);
    if (FindFilter(c, name.c_str()) == c.captureFilter) RemoveDownstream(c, name.c_str(), 2);
  }
  RemoveFilter(c, kRenderer);
  RemoveFilter(c, kOverlayMixer);
  c.previewBuilt = 0;
}

void TeardownRecording(core::CardContext& c) {
  if (GstElement* mux = FindFilter(c, kMultiplexer)) SetFilterParam(mux, 0x208, 0);
  c.renderer = nullptr;
  DetachWindow(c);
  if (c.captureFilter && FindFilter(c, GST_ELEMENT_NAME(c.captureFilter)) == c.captureFilter) {
    const std::string name = GST_ELEMENT_NAME(c.captureFilter);
    RemoveDownstream(c, name.c_str(), 1);
  }
  if (c.captureAudio && FindFilter(c, kAudioDevice)) {
    RemoveDownstream(c, kAudioDevice, 0);
    // The card's sound stays: it is heard with the preview.
    if (!HasCardSound(c)) RemoveFilter(c, kAudioDevice);
  }
  for (const char* name : {kStreamingDevice, kStillCapture, kSmartTee, kDownScale, kOverlayMixer})
    RemoveFilter(c, name);
  c.captureBuilt = 0;
  c.capturing = 0;
}

STROVA_STATUS AttachWindow(core::CardContext& c) {
  GstElement* renderer = FindFilter(c, kRenderer);
  if (!renderer) return E_FAIL;
  c.videoWindow.reset();  // the earlier window goes before the sink is rebuilt
  c.videoWindow = VideoWindow::Create(renderer, c.ownerWindow);
  if (!c.videoWindow) return E_FAIL;
  GstPad* in = FindPin(renderer, "Input", GST_PAD_SINK);
  if (in && c.events && !g_object_get_data(G_OBJECT(in), "strova-size-watch")) {
    gst_pad_add_probe(in, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, WatchSize, c.events.get(), nullptr);
    g_object_set_data(G_OBJECT(in), "strova-size-watch", GINT_TO_POINTER(1));
  }
  VideoWindow& w = *c.videoWindow;
  w.SetMessageDrain(c.messageDrain);
  w.SetWindowStyle(kChildClipSiblings);
  const StrovaRect& r = c.windowRect;
  w.SetPosition(r.left, r.top, r.right - r.left, r.bottom - r.top);
  w.SetVisible(true);
  return S_OK;
}

void DetachWindow(core::CardContext& c) { c.videoWindow.reset(); }

STROVA_STATUS SetState(core::CardContext& c, int state) {
  if (!c.pipeline || state < 0 || state > 2) return E_FAIL;
  static const GstState kStates[] = {GST_STATE_PLAYING, GST_STATE_PAUSED, GST_STATE_READY};
  if (gst_element_set_state(c.pipeline, kStates[state]) == GST_STATE_CHANGE_FAILURE) return E_FAIL;
  c.graphState = state;
  CardSoundRunning(c, state == STROVA_STATE_RUNNING);
  if (state == STROVA_STATE_PAUSED) {
    // Paused is reported once the pause has completed (a live graph does
    // not preroll, so this returns at once).
    GstState now = GST_STATE_VOID_PENDING;
    if (gst_element_get_state(c.pipeline, &now, nullptr, 2 * GST_SECOND) != GST_STATE_CHANGE_FAILURE &&
        now == GST_STATE_PAUSED)
      PostEvent(c, kEventPaused, 0);
  }
  return S_OK;
}

void PostEvent(core::CardContext& c, long code, uintptr_t param1) {
  if (c.events) c.events->Post(code, param1);
}

}  // namespace strova::graph
