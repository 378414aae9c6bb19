#include "strova/card/CardBinding.h"

#include <array>
#include <mutex>

namespace strova::card {
namespace {

struct Bindings {
  std::mutex mu;
  std::array<std::shared_ptr<Card>, kMaxCards> cards;
  int control = -1;
  int count = -1;
  std::array<uint8_t, kMaxCards * 4> cameras;
  StopGraphFn stop = nullptr;
  RestoreGraphFn restore = nullptr;
  Bindings() { cameras.fill(0xFF); }
};

Bindings& B() {
  static Bindings b;
  return b;
}

bool InRange(int index) { return index >= 0 && index < kMaxCards; }

}  // namespace

void BindCard(int index, std::shared_ptr<Card> card) {
  if (!InRange(index)) return;
  std::lock_guard lock(B().mu);
  B().cards[size_t(index)] = std::move(card);
}

void UnbindCard(int index) {
  if (!InRange(index)) return;
  std::lock_guard lock(B().mu);
  B().cards[size_t(index)].reset();
  if (B().control == index) B().control = -1;
}

std::shared_ptr<Card> BoundCard(int index) {
  if (!InRange(index)) return nullptr;
  std::lock_guard lock(B().mu);
  return B().cards[size_t(index)];
}

void SetControlCard(int index) {
  std::lock_guard lock(B().mu);
  B().control = InRange(index) ? index : -1;
}

void ClearControlCard(int index) {
  std::lock_guard lock(B().mu);
  if (B().control == index) B().control = -1;
}

std::shared_ptr<Card> ControlCard() {
  std::lock_guard lock(B().mu);
  return B().control >= 0 ? B().cards[size_t(B().control)] : nullptr;
}

void SetCardCount(int count) {
  std::lock_guard lock(B().mu);
  B().count = count;
}

bool ValidCardIndex(int index) {
  if (!InRange(index)) return false;
  std::lock_guard lock(B().mu);
  if (B().count < 0) B().count = int(EnumerateCards().size());
  return index < B().count;
}

uint8_t* CameraTableEntry(int index, int slot) {
  if (!InRange(index) || slot < 0 || slot > 3) return nullptr;
  return &B().cameras[size_t(index * 4 + slot)];
}

void SetGraphStateHooks(StopGraphFn stop, RestoreGraphFn restore) {
  std::lock_guard lock(B().mu);
  B().stop = stop;
  B().restore = restore;
}

int StopGraphForDialog(int index) {
  StopGraphFn stop;
  {
    std::lock_guard lock(B().mu);
    stop = B().stop;
  }
  return stop ? stop(index) : -1;
}

void RestoreGraphAfterDialog(int index, int state) {
  RestoreGraphFn restore;
  {
    std::lock_guard lock(B().mu);
    restore = B().restore;
  }
  if (restore && state >= 0) restore(index, state);
}

}  // namespace strova::card
