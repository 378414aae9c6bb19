// The remote receiver's key latch: received keys wait in a bounded queue and
// the control word shows the next one once the previous key is acknowledged
// (key bits all ones). Not locked: its owner serialises access.
#pragma once

#include "strova/card/Tuner.h"

#include <cstdint>
#include <deque>

namespace strova::card {

class KeyLatch {
 public:
  static constexpr size_t kMax = 64;
  void Push(uint16_t code) {
    if (keys_.size() >= kMax) keys_.pop_front();  // a flood keeps the newest keys
    keys_.push_back(code & kKeyMask);
  }
  // The control word with the next waiting key latched into bits 8..0.
  uint32_t Latch(uint32_t control) {
    if ((control & kKeyMask) != kNoKey || keys_.empty()) return control;
    control = (control & ~kKeyMask) | keys_.front();
    keys_.pop_front();
    return control;
  }

 private:
  std::deque<uint16_t> keys_;
};

}  // namespace strova::card
