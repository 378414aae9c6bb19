// Graph connection, window and stream-state exports.
#include "strova/Strova.h"
#include "strova/capture/RecordingBranch.h"
#include "strova/core/Context.h"
#include "strova/graph/Branches.h"
#include "strova/graph/CardSound.h"
#include "strova/graph/Graph.h"
#include "strova/graph/VideoWindow.h"

using namespace strova::core;
namespace graph = strova::graph;

namespace {

constexpr int kFinishTimeoutMs = 5000;

// Stops the graph and takes both branches down, then releases it. A recording
// in progress is finished first (end codes, AVI index): stopping a pipeline
// does not finish its files.
void TearDown(int card, CardContext& c) {
  if (c.capturing) strova::capture::FinishRecordingFile(card, c, kFinishTimeoutMs);
  graph::Stop(c);
  graph::TeardownPreview(c);
  graph::TeardownRecording(c);
  if (c.capturing) strova::capture::ForgetRecording(card);
  graph::Release(card, c);
}

graph::VideoWindow* Window(CardContext* c) { return c ? c->videoWindow.get() : nullptr; }

}  // namespace

extern "C" {

STROVA_API STROVA_STATUS Strova_ConnectDevice(int card, int yuvMode, STROVA_HWND owner) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  c->ownerWindow = owner;
  if (c->previewBuilt || c->captureBuilt || c->HasGraph()) return VFW_E_WRONG_STATE;
  if (graph::BuildBase(card, *c) < 0) return E_FAIL;
  c->yuvMode = yuvMode;
  if (graph::BuildPreview(*c) < 0) {
    TearDown(card, *c);
    return E_FAIL;
  }
  graph::Run(*c);
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_DisconnectDevice(int card) {
  CardContext* c = CardAt(card);
  if (!c || !c->HasGraph() || !c->captureFilter) return E_INVALIDARG;
  TearDown(card, *c);
  c->Reset();
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_IsConnected(int card, int* connected) {
  CardContext* c = CardAt(card);
  if (!c || !connected) return E_INVALIDARG;
  *connected = c->HasGraph() && (c->previewBuilt || c->captureBuilt) ? 1 : 0;
  return S_OK;
}

STROVA_API int Strova_SetDispMode(int mode) {
  Context().displayMode = mode;
  return 1;
}

STROVA_API STROVA_STATUS Strova_SetDeinterlace(int on) {
  Context().deinterlace = on ? 1 : 0;
  for (CardContext& c : Context().cards) graph::SetDeinterlace(c, STROVA_PIN_PREVIEW, on != 0);
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_IsDeinterlace(int* on) {
  if (!on) return E_INVALIDARG;
  *on = Context().deinterlace;
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_SetOwnerWnd(int card, STROVA_HWND owner) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  c->ownerWindow = owner;
  return Window(c) ? Window(c)->SetOwner(owner) : E_FAIL;
}

STROVA_API STROVA_STATUS Strova_GetOwnerWnd(int card, STROVA_HWND* owner) {
  CardContext* c = CardAt(card);
  if (!c || !owner) return E_INVALIDARG;
  if (!Window(c)) return E_FAIL;
  *owner = Window(c)->Owner();
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_SetMessageDrain(int card, STROVA_HWND drain) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  c->messageDrain = drain;
  return Window(c) ? Window(c)->SetMessageDrain(drain) : E_FAIL;
}

STROVA_API STROVA_STATUS Strova_SetWindowPos(int card, int left, int top, int right, int bottom) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  c->windowRect = {left, top, right, bottom};
  return Window(c) ? Window(c)->SetPosition(left, top, right - left, bottom - top) : E_FAIL;
}

STROVA_API STROVA_STATUS Strova_GetWindowPos(int card, StrovaRect* rect) {
  CardContext* c = CardAt(card);
  if (!c || !rect) return E_INVALIDARG;
  if (!Window(c)) return E_FAIL;
  int left = 0, top = 0, width = 0, height = 0;
  Window(c)->Position(&left, &top, &width, &height);
  *rect = {left, top, left + width, top + height};
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_FullScreen(int card, int on) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  if (!Window(c)) return E_FAIL;
  const STROVA_STATUS st = Window(c)->SetFullScreen(on != 0);
  if (on && st == E_NOTIMPL) SetDiagnostic("Can not use full screen mode!");
  return st;
}

STROVA_API STROVA_STATUS Strova_IsFullSrcMode(int card, int* full) {
  CardContext* c = CardAt(card);
  if (!c || !full) return E_INVALIDARG;
  if (!Window(c)) return E_FAIL;
  *full = Window(c)->FullScreen() ? 1 : 0;
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_GetStreamStatus(int card, int* state) {
  CardContext* c = CardAt(card);
  if (!c || !state) return E_INVALIDARG;
  *state = c->graphState;
  return c->HasGraph() ? S_OK : E_FAIL;
}

STROVA_API STROVA_STATUS Strova_SetStreamStatus(int card, int state) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  if (c->capturing) return VFW_E_WRONG_STATE;
  const STROVA_STATUS st = graph::SetState(*c, state);
  // A source that failed (the card unplugged and back, or stalled) is
  // opened anew when the stream is started again.
  if (st == S_OK && state == STROVA_STATE_RUNNING && c->events && c->events->TakeSourceFailure())
    graph::RestartSource(*c, [] { return true; });
  return st;
}

STROVA_API STROVA_STATUS Strova_IsPreviewPinExisted(int card, int* exists) {
  CardContext* c = CardAt(card);
  if (!c || !exists) return E_INVALIDARG;
  if (!c->captureFilter) return E_FAIL;
  *exists = graph::Pins(c->captureFilter).size() > 1 ? 1 : 0;
  return S_FALSE;  // the pin count ran to its end
}

STROVA_API STROVA_STATUS Strova_ConnectPin(int card, int branch) {
  CardContext* c = CardAt(card);
  if (!c) return 0;
  graph::Stop(*c);
  if (branch == 1) graph::BuildRecording(*c);
  if (branch == 2) graph::BuildPreview(*c);
  return graph::Run(*c);
}

STROVA_API STROVA_STATUS Strova_DisconnectPin(int card, int branch) {
  CardContext* c = CardAt(card);
  if (!c) return 0;
  graph::Stop(*c);
  if (branch == 1) graph::TeardownRecording(*c);
  if (branch == 2) graph::TeardownPreview(*c);
  return graph::Run(*c);
}

STROVA_API int32_t Strova_MuteCardSound(int32_t mute) {
  graph::SetLineInputMute(mute != 0);
  return 0;
}

}  // extern "C"
