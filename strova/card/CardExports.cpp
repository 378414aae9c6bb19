// The card-control exports: argument checks against the library context,
// then the card operations. The tuner, sound and remote exports act on the
// card whose graph was built last.
#include "strova/Strova.h"

#include "strova/card/CardBinding.h"
#include "strova/card/CardControl.h"
#include "strova/card/CardProperties.h"
#include "strova/core/Context.h"

#include <cstdio>
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

int32_t SetTvChannelFreg(int32_t, int32_t f) { return sc::TuneFrequency(ControlCard(), f); }
int32_t GetTvChannelOkay(int32_t, int32_t f) { return sc::TuneAndReadLock(ControlCard(), f); }
int32_t Strova_TunerSignal(int32_t, int32_t f) { return sc::TuneAndReadSignal(ControlCard(), f); }
int32_t Strova_GetTvChannelOkayQuick(int32_t, int32_t f) { return sc::TuneAndReadLockQuick(ControlCard(), f); }
int32_t GetRemoteData(void) { return sc::ReadRemoteKey(ControlCard()); }
int32_t SetTVSoundData(int32_t, int32_t on) { return sc::SetTunerSound(ControlCard(), on); }
int32_t SetADSoundData(int32_t, int32_t on) { return sc::SetLineSound(ControlCard(), on); }

uint8_t Strova_GetDeviceID(void) {
  if (sc::Card* card = ControlCard()) {
    uint8_t id = 0;
    card->ReadDeviceId(&id);  // the card's own byte is read but not passed on
  }
  return 1;
}

int32_t Strova_IsVideoSignalLocked(int32_t card, int32_t* locked) {
  if (!core::ValidCard(card) || locked == nullptr) return E_INVALIDARG;
  long flag = 0;
  const STROVA_STATUS st = sc::IsVideoSignalLocked(CaptureCard(core::CardAt(card)), &flag);
  if (st == S_OK) *locked = int32_t(flag);
  return st;
}

int32_t Strova_GetVideoStandard(int32_t card, int32_t* current, int32_t* available) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  sc::Card* c = CaptureCard(core::CardAt(card));
  if (c == nullptr) return E_FAIL;
  STROVA_STATUS st = S_OK;
  long value = 0;
  if (available != nullptr) {
    st = c->GetAvailableStandards(&value);
    if (st != S_OK) return st;
    *available = int32_t(value);
  }
  if (current != nullptr) {
    st = c->GetStandard(&value);
    if (st == S_OK) *current = int32_t(value);
  }
  return st;
}

int32_t Strova_SetVideoStandard(int32_t card, int32_t standard) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  return sc::SetVideoStandard(CaptureCard(core::CardAt(card)), standard);
}

int32_t Strova_GetVideoPropertyValue(int32_t card, int32_t property, int32_t values[6]) {
  if (!core::ValidCard(card) || values == nullptr) return E_INVALIDARG;
  long read[6] = {};
  const STROVA_STATUS st = sc::GetVideoProperty(CaptureCard(core::CardAt(card)), property, read);
  // The range is kept even when reading the value fails, as the card wrote it.
  for (int i = 0; i < 6; ++i)
    if (st == S_OK || i > 0) values[i] = int32_t(read[i]);
  return st;
}

int32_t Strova_SetVideoPropertyValue(int32_t card, int32_t property, int32_t value) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  return sc::SetVideoProperty(CaptureCard(core::CardAt(card)), property, value);
}

int32_t Strova_GetVideoPropertyValue_Ex(int32_t card, int32_t a, int32_t property, int32_t* b) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  long value = 0;
  const STROVA_STATUS st =
      sc::GetVideoPropertyEx(CompanionCard(core::CardAt(card)), a, property, b ? &value : nullptr);
  if (st == S_OK) *b = int32_t(value);
  return st;
}

int32_t Strova_SetVideoPropertyValue_Ex(int32_t card, int32_t a, int32_t property, int32_t b) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  return sc::SetVideoPropertyEx(CompanionCard(core::CardAt(card)), a, property, b);
}

int32_t Strova_IsPropertyExist(int32_t card, int32_t page, int32_t* exists) {
  if (!core::ValidCard(card) || exists == nullptr) return E_INVALIDARG;
  *exists = 0;
  core::CardContext* rec = core::CardAt(card);
  if (rec->pipeline == nullptr) return E_FAIL;  // no graph builder
  int found = 0;
  const STROVA_STATUS st = sc::PropertyPageExists(CaptureCard(rec), page, &found);
  *exists = found;
  return st;
}

int32_t Strova_DisplayPropertyDialogs(int32_t card, int32_t page, void* parent,
                                      const char* caption) {
  const std::string title = Caption(caption);
  int32_t exists = 0;
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
  if (sc::PropertyPageStopsGraph(page) && rec->capturing) return VFW_E_WRONG_STATE;
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

int32_t Strova_RouteInPinToOutPin(int32_t card, int32_t inputPin, int32_t outputPin) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  return sc::RouteInput(CaptureCard(core::CardAt(card)), inputPin, outputPin);
}

int32_t Strova_GetDeviceControl(int32_t card, int32_t index, StrovaControl* control) {
  if (!core::ValidCard(card) || control == nullptr) return E_INVALIDARG;
  sc::Card* dev = CaptureCard(core::CardAt(card));
  sc::DeviceControl c;
  if (dev == nullptr || dev->GetControl(index, &c) != sc::kOk) return E_FAIL;
  *control = StrovaControl{};
  control->id = c.id;
  control->type = c.type;
  control->minimum = int32_t(c.minimum), control->maximum = int32_t(c.maximum);
  control->step = int32_t(c.step), control->defaultValue = int32_t(c.def), control->value = int32_t(c.value);
  std::snprintf(control->name, sizeof control->name, "%s", c.name.c_str());
  return S_OK;
}

int32_t Strova_GetDeviceControlItem(int32_t card, int32_t index, int32_t value, char* name, int32_t size) {
  if (!core::ValidCard(card) || name == nullptr || size < 1) return E_INVALIDARG;
  name[0] = '\0';
  sc::Card* dev = CaptureCard(core::CardAt(card));
  sc::DeviceControl c;
  if (dev == nullptr || dev->GetControl(index, &c) != sc::kOk) return E_FAIL;
  const long at = long(value) - c.minimum;
  if (at < 0 || at >= long(c.items.size())) return E_FAIL;
  std::snprintf(name, size_t(size), "%s", c.items[size_t(at)].c_str());
  return S_OK;
}

int32_t Strova_SetDeviceControl(int32_t card, uint32_t id, int32_t value) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  sc::Card* dev = CaptureCard(core::CardAt(card));
  return dev == nullptr ? E_FAIL : dev->SetControl(id, value);
}

int32_t Strova_GetInputName(int32_t card, int32_t input, char* name, int32_t size) {
  if (!core::ValidCard(card) || name == nullptr || size < 1) return E_INVALIDARG;
  name[0] = '\0';
  sc::Card* dev = CaptureCard(core::CardAt(card));
  if (dev == nullptr || input < 0 || input >= dev->InputCount()) return E_FAIL;
  std::snprintf(name, size_t(size), "%s", dev->InputName(input).c_str());
  return S_OK;
}

int32_t Strova_WhatInPinRouteToOutPin(int32_t card, int32_t outputPin, int32_t* inputPin) {
  if (!core::ValidCard(card)) return E_INVALIDARG;
  int in = 0;
  const STROVA_STATUS st =
      sc::RoutedInput(CaptureCard(core::CardAt(card)), outputPin, inputPin ? &in : nullptr);
  if (st == S_OK) *inputPin = in;
  return st;
}

int32_t Strova_ChooseCamera_Ex(int32_t card, int32_t slot, int32_t camera) {
  if (!core::ValidCard(card) || slot < 0 || slot > 3) return E_INVALIDARG;
  return sc::ChooseCamera(CompanionCard(core::CardAt(card)), slot, camera,
                          sc::CameraTableEntry(card, slot));
}

}  // extern "C"
