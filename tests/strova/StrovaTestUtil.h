#pragma once

#include "strova/Strova.h"

#include <chrono>
#include <functional>
#include <thread>

namespace strova_test {

// Polls cond for up to timeoutMs; true once it holds.
inline bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return cond();
}

// Index of the virtual card (always listed last).
inline int VirtualCard() {
  int count = 0;
  Strova_GetCardNumber(&count);
  return count - 1;
}

// Reads the preview pin's format once caps are flowing.
inline bool ReadInfo(int card, VideoInfo* info) {
  return WaitFor([&] {
    *info = VideoInfo{};
    info->colorCode = -99;
    return Strova_GetVideoInfo(card, info, STROVA_PIN_PREVIEW) == S_OK && info->colorCode != -99;
  });
}

}  // namespace strova_test
