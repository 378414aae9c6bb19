// The card-control exports: argument checks against the library context,
// then the card operations. The tuner, sound and remote exports act on the
// card whose graph was built last.
#include "strova/Strova.h"

#include "strova/card/CardBinding.h"
#include "strova/card/CardControl.h"
#include "strova/card/CardProperties.h"
#include "strova/core/Context.h"

#include <cstring>
#include <mutex>
#include <string>

namespace sc = strova::card;
namespace core = strova::core;

namespace {

constexpr size_t kCaptionMax = 260;

struct FrameHost {
  std::mutex mu;
  StrovaPropertyFrameHost fn = nullptr;
  void* user = nullptr;
};

FrameHost& Host() {
  static FrameHost h;
  return h;
}

// The card backend of a record whose graph is built, else null.
sc::Card* Device(core::CardContext* rec) {
  return (rec && rec->HasGraph()) ? rec->device.get() : nullptr;
}

sc::Card* ControlCard() {
  return Device(core::CardAt(core::Context().lastConnectedCard));
}

// Card behind the capture device filter (null: no capture filter).
sc::Card* CaptureCard(core::CardContext* rec) {
  return (rec && rec->captureFilter) ? Device(rec) : nullptr;
}

// Card behind the companion filter (null: no companion filter).
sc::Card* CompanionCard(core::CardContext* rec) {
  return (rec && rec->cardFilter) ? Device(rec) : nullptr;
}

// The caption cut to the frame's limit at a character boundary.
std::string Caption(const char* caption) {
  if (caption == nullptr) return {};
  std::string s(caption, strnlen(caption, kCaptionMax));
  if (s.size() < kCaptionMax) return s;
  size_t lead = s.size() - 1;
  while (lead > 0 && (uint8_t(s[lead]) & 0xC0) == 0x80) --lead;
  const uint8_t b = uint8_t(s[lead]);
  const size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
  if (s.size() - lead < need) s.erase(lead);
  return s;
}

// Stops the graph for a dialog that needs it stopped; returns the state to
// restore, or -1 when nothing was changed.
int StopForDialog(core::CardContext* rec) {
  if (rec->pipeline == nullptr || rec->graphState == STROVA_STATE_STOPPED) return -1;
  const int old = rec->graphState;
  gst_element_set_state(rec->pipeline, GST_STATE_READY);
  rec->graphState = STROVA_STATE_STOPPED;
  return old;
}

void RestoreAfterDialog(core::CardContext* rec, int state) {
  if (state < 0 || rec->pipeline == nullptr) return;
  gst_element_set_state(rec->pipeline,
                        state == STROVA_STATE_RUNNING ? GST_STATE_PLAYING : GST_STATE_PAUSED);
  rec->graphState = state;
}

}  // namespace

extern "C" {

int SetTvChannelFreg(int, int f) { return sc::TuneFrequency(ControlCard(), f); }
int GetTvChannelOkay(int, int f) { return sc::TuneAndReadLock(ControlCard(), f); }
int GetRemoteData(void) { return sc::ReadRemoteKey(ControlCard()); }
int SetTVSoundData(int, int on) { return sc::SetTunerSound(ControlCard(), on); }
int SetADSoundData(int, int on) { return sc::SetLineSound(ControlCard(), on); }

unsigned char Strova_GetDeviceID(void) {
  if (sc::Card* card = ControlCard()) {
    uint8_t id = 0;
    card->ReadDeviceId(&id);  // the card's own byte is read but not passed on
  }
  return 1;
}

STROVA_STATUS Strova_IsVideoSignalLocked(int card, long* locked) {
  if (!core::ValidCard(card) || locked == nullptr) return E_INVALIDARG;
  return sc::IsVideoSignalLocked(CaptureCard(core::CardAt(card)), locked);
}

STROVA_STATUS Strova_GetVideoStandard(int card, long* current, long* available) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  sc::Card* c = CaptureCard(core::CardAt(card));
  if (c == nullptr) return E_FAIL;
  STROVA_STATUS st = S_OK;
  long value = 0;
  if (available != nullptr) {
    st = c->GetAvailableStandards(&value);
    if (st != S_OK) return st;
    *available = value;
  }
  if (current != nullptr) {
    st = c->GetStandard(&value);
    if (st == S_OK) *current = value;
  }
  return st;
}

STROVA_STATUS Strova_SetVideoStandard(int card, long standard) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  return sc::SetVideoStandard(CaptureCard(core::CardAt(card)), standard);
}

STROVA_STATUS Strova_GetVideoPropertyValue(int card, int property, long* values) {
  if (!core::ValidCard(card) || values == nullptr) return E_INVALIDARG;
  return sc::GetVideoProperty(CaptureCard(core::CardAt(card)), property, values);
}

STROVA_STATUS Strova_SetVideoPropertyValue(int card, int property, long value) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  return sc::SetVideoProperty(CaptureCard(core::CardAt(card)), property, value);
}

STROVA_STATUS Strova_GetVideoPropertyValue_Ex(int card, long a, int property, long b) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  // b is passed by value, so what the card reports cannot travel back.
  long value = b;
  return sc::GetVideoPropertyEx(CompanionCard(core::CardAt(card)), a, property, &value);
}

STROVA_STATUS Strova_SetVideoPropertyValue_Ex(int card, long a, int property, long b) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  return sc::SetVideoPropertyEx(CompanionCard(core::CardAt(card)), a, property, b);
}

STROVA_STATUS Strova_IsPropertyExist(int card, int page, int* exists) {
  if (!core::ValidCard(card) || exists == nullptr) return E_INVALIDARG;
  *exists = 0;
  core::CardContext* rec = core::CardAt(card);
  if (rec->pipeline == nullptr) return E_FAIL;  // no graph builder
  return sc::PropertyPageExists(CaptureCard(rec), page, exists);
}

STROVA_STATUS Strova_DisplayPropertyDialogs(int card, int page, STROVA_HWND parent,
                                            const char* caption) {
  const std::string title = Caption(caption);
  int exists = 0;
  const STROVA_STATUS st = Strova_IsPropertyExist(card, page, &exists);
  if (st != S_OK || exists == 0) return st;
  StrovaPropertyFrameHost fn;
  void* user;
  {
    std::lock_guard lock(Host().mu);
    fn = Host().fn;
    user = Host().user;
  }
  if (fn == nullptr) return E_FAIL;  // the viewer has registered no host
  core::CardContext* rec = core::CardAt(card);
  const int state = sc::PropertyPageStopsGraph(page) ? StopForDialog(rec) : -1;
  const STROVA_STATUS shown = fn(user, card, page, parent, title.c_str());
  RestoreAfterDialog(rec, state);
  return page >= 9 ? st : shown;
}

void Strova_SetPropertyFrameHost(StrovaPropertyFrameHost host, void* user) {
  std::lock_guard lock(Host().mu);
  Host().fn = host;
  Host().user = user;
}

STROVA_STATUS Strova_RouteInPinToOutPin(int card, int inputPin, int outputPin) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  return sc::RouteInput(CaptureCard(core::CardAt(card)), inputPin, outputPin);
}

STROVA_STATUS Strova_WhatInPinRouteToOutPin(int card, int outputPin, int* inputPin) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  return sc::RoutedInput(CaptureCard(core::CardAt(card)), outputPin, inputPin);
}

STROVA_STATUS Strova_ChooseCamera_Ex(int card, unsigned char slot, unsigned char camera) {
  if (!core::ValidCard(card) || slot > 3) return E_INVALIDARG;
  return sc::ChooseCamera(CompanionCard(core::CardAt(card)), slot, camera,
                          sc::CameraTableEntry(card, slot));
}

}  // extern "C"
