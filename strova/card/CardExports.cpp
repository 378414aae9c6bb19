// The card-control exports: argument checks, then the card operations.
#include "strova/card/CardExports.h"

#include "strova/card/CardBinding.h"
#include "strova/card/CardControl.h"
#include "strova/card/CardProperties.h"

#include <cstring>
#include <mutex>
#include <string>

namespace sc = strova::card;

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

// The card at a valid index (null when it is not connected).
bool Lookup(int32_t card, std::shared_ptr<sc::Card>* out) {
  if (!sc::ValidCardIndex(card)) return false;
  *out = sc::BoundCard(card);
  return true;
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

}  // namespace

extern "C" {

int32_t SetTvChannelFreg(int32_t, int32_t f) { return sc::TuneFrequency(sc::ControlCard().get(), f); }
int32_t GetTvChannelOkay(int32_t, int32_t f) { return sc::TuneAndReadLock(sc::ControlCard().get(), f); }
int32_t GetRemoteData(void) { return sc::ReadRemoteKey(sc::ControlCard().get()); }
int32_t SetTVSoundData(int32_t, int32_t on) { return sc::SetTunerSound(sc::ControlCard().get(), on); }
int32_t SetADSoundData(int32_t, int32_t on) { return sc::SetLineSound(sc::ControlCard().get(), on); }

uint8_t Strova_GetDeviceID(void) {
  if (auto card = sc::ControlCard()) {
    uint8_t id = 0;
    card->ReadDeviceId(&id);  // the card's own byte is read but not passed on
  }
  return 1;
}

int32_t Strova_IsVideoSignalLocked(int32_t card, int32_t* locked) {
  std::shared_ptr<sc::Card> c;
  if (!Lookup(card, &c) || locked == nullptr) return sc::kInvalidArg;
  return sc::IsVideoSignalLocked(c.get(), locked);
}

int32_t Strova_GetVideoStandard(int32_t card, int32_t* current, int32_t* available) {
  std::shared_ptr<sc::Card> c;
  if (!Lookup(card, &c)) return sc::kInvalidArg;
  if (!c) return sc::kFail;
  sc::Status st = sc::kOk;
  long value = 0;
  if (available != nullptr) {
    st = c->GetAvailableStandards(&value);
    if (st != sc::kOk) return st;
    *available = int32_t(value);
  }
  if (current != nullptr) {
    st = c->GetStandard(&value);
    if (st == sc::kOk) *current = int32_t(value);
  }
  return st;
}

int32_t Strova_SetVideoStandard(int32_t card, int32_t standard) {
  std::shared_ptr<sc::Card> c;
  if (!Lookup(card, &c)) return sc::kInvalidArg;
  return sc::SetVideoStandard(c.get(), standard);
}

int32_t Strova_GetVideoPropertyValue(int32_t card, int32_t property, int32_t values[6]) {
  std::shared_ptr<sc::Card> c;
  if (!Lookup(card, &c)) return sc::kInvalidArg;
  return sc::GetVideoProperty(c.get(), property, values);
}

int32_t Strova_SetVideoPropertyValue(int32_t card, int32_t property, int32_t value) {
  std::shared_ptr<sc::Card> c;
  if (!Lookup(card, &c)) return sc::kInvalidArg;
  return sc::SetVideoProperty(c.get(), property, value);
}

int32_t Strova_GetVideoPropertyValue_Ex(int32_t card, int32_t a, int32_t property, int32_t* b) {
  std::shared_ptr<sc::Card> c;
  if (!Lookup(card, &c)) return sc::kInvalidArg;
  return sc::GetVideoPropertyEx(c.get(), a, property, b);
}

int32_t Strova_SetVideoPropertyValue_Ex(int32_t card, int32_t a, int32_t property, int32_t b) {
  std::shared_ptr<sc::Card> c;
  if (!Lookup(card, &c)) return sc::kInvalidArg;
  return sc::SetVideoPropertyEx(c.get(), a, property, b);
}

int32_t Strova_IsPropertyExist(int32_t card, int32_t page, int32_t* exists) {
  std::shared_ptr<sc::Card> c;
  if (!Lookup(card, &c)) return sc::kInvalidArg;
  return sc::PropertyPageExists(c.get(), page, exists);
}

int32_t Strova_DisplayPropertyDialogs(int32_t card, int32_t page, void* parent, const char* caption) {
  const std::string title = Caption(caption);
  int32_t exists = 0;
  const int32_t st = Strova_IsPropertyExist(card, page, &exists);
  if (st != sc::kOk || exists == 0) return st;
  StrovaPropertyFrameHost fn;
  void* user;
  {
    std::lock_guard lock(Host().mu);
    fn = Host().fn;
    user = Host().user;
  }
  if (fn == nullptr) return sc::kFail;
  const bool stop = sc::PropertyPageStopsGraph(page);
  const int state = stop ? sc::StopGraphForDialog(card) : -1;
  const int32_t shown = fn(user, card, page, parent, title.c_str());
  if (stop) sc::RestoreGraphAfterDialog(card, state);
  return page >= 9 ? st : shown;
}

void Strova_SetPropertyFrameHost(StrovaPropertyFrameHost host, void* user) {
  std::lock_guard lock(Host().mu);
  Host().fn = host;
  Host().user = user;
}

int32_t Strova_RouteInPinToOutPin(int32_t card, int32_t input, int32_t output) {
  std::shared_ptr<sc::Card> c;
  if (!Lookup(card, &c)) return sc::kInvalidArg;
  return sc::RouteInput(c.get(), input, output);
}

int32_t Strova_WhatInPinRouteToOutPin(int32_t card, int32_t output, int32_t* input) {
  std::shared_ptr<sc::Card> c;
  if (!Lookup(card, &c)) return sc::kInvalidArg;
  return sc::RoutedInput(c.get(), output, input);
}

int32_t Strova_ChooseCamera_Ex(int32_t card, int32_t slot, int32_t camera) {
  std::shared_ptr<sc::Card> c;
  if (!Lookup(card, &c)) return sc::kInvalidArg;
  return sc::ChooseCamera(c.get(), slot, camera, sc::CameraTableEntry(card, slot));
}

}  // extern "C"
