// Graph connection, window and stream-state exports.
#include "strova/Strova.h"
#include "strova/core/Context.h"
#include "strova/graph/Graph.h"

using namespace strova::core;

extern "C" {

STROVA_API STROVA_STATUS Strova_ConnectDevice(int card, int yuvMode, STROVA_HWND owner) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  if (c->HasGraph()) return VFW_E_WRONG_STATE;
  c->yuvMode = yuvMode ? 1 : 0;
  c->ownerWindow = owner;
  const STROVA_STATUS st = strova::graph::Build(card, *c);
  if (st < 0) {
    strova::graph::Release(*c);
    return st;
  }
  Context().lastConnectedCard = card;
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_DisconnectDevice(int card) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  strova::graph::Release(*c);
  c->Reset();
  if (Context().lastConnectedCard == card) Context().lastConnectedCard = -1;
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_IsConnected(int card, int* connected) {
  CardContext* c = CardAt(card);
  if (!c || !connected) return E_INVALIDARG;
  *connected = (c->previewBuilt || c->captureBuilt) ? 1 : 0;
  return S_OK;
}

STROVA_API int Strova_SetDispMode(int mode) {
  Context().displayMode = mode ? 1 : 0;
  return 1;
}

STROVA_API STROVA_STATUS Strova_SetOwnerWnd(int card, STROVA_HWND owner) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  c->ownerWindow = owner;
  return c->renderer ? S_OK : E_FAIL;
}

STROVA_API STROVA_STATUS Strova_GetOwnerWnd(int card, STROVA_HWND* owner) {
  CardContext* c = CardAt(card);
  if (!c || !owner) return E_INVALIDARG;
  if (!c->renderer) return E_FAIL;
  *owner = c->ownerWindow;
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_SetMessageDrain(int card, STROVA_HWND drain) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  c->messageDrain = drain;
  return c->renderer ? S_OK : E_FAIL;
}

STROVA_API STROVA_STATUS Strova_SetWindowPos(int card, int left, int top, int right, int bottom) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  c->windowRect = {left, top, right, bottom};
  return c->renderer ? S_OK : E_FAIL;
}

STROVA_API STROVA_STATUS Strova_GetWindowPos(int card, StrovaRect* rect) {
  CardContext* c = CardAt(card);
  if (!c || !rect) return E_INVALIDARG;
  if (!c->renderer) return E_FAIL;
  *rect = c->windowRect;
  return S_OK;
}

// The renderer has no full-screen mode of its own.
STROVA_API STROVA_STATUS Strova_FullScreen(int card, int on) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  if (!c->renderer) return E_FAIL;
  if (!on) return S_OK;
  SetDiagnostic("Can not use full screen mode!");
  return E_NOTIMPL;
}

STROVA_API STROVA_STATUS Strova_IsFullSrcMode(int card, int* full) {
  CardContext* c = CardAt(card);
  if (!c || !full) return E_INVALIDARG;
  if (!c->renderer) return E_FAIL;
  *full = 0;
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_GetStreamStatus(int card, int* state) {
  CardContext* c = CardAt(card);
  if (!c || !state) return E_INVALIDARG;
  *state = c->graphState;
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_SetStreamStatus(int card, int state) {
  CardContext* c = CardAt(card);
  if (!c || state < 0 || state > 2) return E_INVALIDARG;
  return strova::graph::SetState(*c, state);
}

STROVA_API STROVA_STATUS Strova_IsPreviewPinExisted(int card, int* exists) {
  CardContext* c = CardAt(card);
  if (!c || !exists) return E_INVALIDARG;
  *exists = c->captureFilter ? 1 : 0;
  return c->captureFilter ? S_OK : E_FAIL;
}

}  // extern "C"
