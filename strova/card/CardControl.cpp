#include "strova/card/CardControl.h"

#include "strova/card/Tuner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace strova::card {
namespace {

constexpr int kDefaultSettleMs = 150;
constexpr int kMaxStatusReadings = 3;

// STROVA_TEST_TUNER_SETTLE_MS shortens the settle time for test runs.
int InitialSettleMs() {
  const char* env = std::getenv("STROVA_TEST_TUNER_SETTLE_MS");
  if (env == nullptr || *env == '\0') return kDefaultSettleMs;
  char* end = nullptr;
  const long v = std::strtol(env, &end, 10);
  return (*end == '\0' && v >= 0 && v <= 1000) ? int(v) : kDefaultSettleMs;
}

std::atomic<int> g_settleMs{InitialSettleMs()};
// Two callers must not interleave a read-modify-write of the control word.
std::mutex g_controlWordMutex;

template <typename Change>
void ModifyControlWord(Card* card, Change change) {
  std::lock_guard lock(g_controlWordMutex);
  uint32_t word = 0;
  card->ReadControlWord(&word);
  card->WriteControlWord(change(word));
}

uint32_t WithSound(uint32_t word, int on, uint32_t source) {
  word &= ~kSoundMask;
  if (!on) return word | kSoundMute;
  return (word & ~kSoundClearMask) | source;
}

}  // namespace

int TunerSettleMs() { return g_settleMs.load(); }
void SetTunerSettleMsForTesting(int ms) { g_settleMs.store(ms < 0 ? kDefaultSettleMs : ms); }

int TuneFrequency(Card* card, int kHz) {
  TunerMessage msg{};
  if (card == nullptr || !BuildTunerMessage(kHz, msg)) return 0;
  card->WriteBus(msg.data(), int(msg.size()));
  return 1;
}

namespace {

void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The tuner's own lock and AFC times, never beyond a shortened settle time.
int LockWaitMs() { return std::min(kPllLockMs, TunerSettleMs()); }
int AfcWaitMs() { return std::min(kAfcSettleMs, TunerSettleMs() - LockWaitMs()); }

int ReadLockAfter(Card* card, int kHz, int waitMs) {
  if (TuneFrequency(card, kHz) == 0) return 0;
  Wait(waitMs);
  int result = 0;
  for (int readings = 1; readings <= kMaxStatusReadings; ++readings) {
    uint8_t status = kTunerAddress;
    card->ReadBus(&status, 1);
    const bool lock = (status & kStatusLock) != 0;
    const int window = status & kStatusWindowMask;
    if (readings == 1 && lock) result = window;
    if (!lock || window != kStatusCentred) break;
  }
  return result;
}

}  // namespace

int TuneAndReadLock(Card* card, int kHz) { return ReadLockAfter(card, kHz, TunerSettleMs()); }

int TuneAndReadLockQuick(Card* card, int kHz) { return ReadLockAfter(card, kHz, LockWaitMs() + AfcWaitMs()); }

int TuneAndReadSignal(Card* card, int kHz) {
  if (TuneFrequency(card, kHz) == 0) return 0;
  Wait(LockWaitMs());
  uint8_t status = kTunerAddress;
  card->ReadBus(&status, 1);
  return (status & kStatusLock) != 0 ? 1 : 0;
}

int ReadRemoteKey(Card* card) {
  if (card == nullptr) return 0;
  uint32_t old = 0;
  ModifyControlWord(card, [&](uint32_t word) {
    old = word;
    return word | kKeyMask;
  });
  return int(old & kKeyMask);
}

int SetTunerSound(Card* card, int on) {
  if (card == nullptr) return 0;
  ModifyControlWord(card, [&](uint32_t w) { return WithSound(w, on, kSoundTuner); });
  return 0;
}

int SetLineSound(Card* card, int on) {
  if (card == nullptr) return 0;
  ModifyControlWord(card, [&](uint32_t w) { return WithSound(w, on, kSoundLine); });
  return 0;
}

Status ChooseCamera(Card* card, int slot, int camera, uint8_t* stored) {
  if (slot < 0 || slot > 3 || stored == nullptr) return kInvalidArg;
  if (card == nullptr) return kNotImpl;
  const bool on = camera >= 0 && camera <= 31;  // any other value switches the slot off
  const uint8_t byte = on ? uint8_t(0x80 | (slot << 5) | camera)
                          : uint8_t((slot << 5) | (*stored <= 31 ? *stored : 0));
  // Every step of the transfer runs in order; the second byte's write is
  // the result (a switch without a bus reports that write's failure).
  CameraTransfer t;
  card->CameraBegin(&t, 0);
  card->CameraStart(&t);
  card->CameraWriteByte(&t, 0xFE);
  const Status st = card->CameraWriteByte(&t, byte);
  card->CameraStop(&t);
  if (st == kOk) *stored = on ? uint8_t(camera) : 0xFF;
  return st;
}

}  // namespace strova::card
