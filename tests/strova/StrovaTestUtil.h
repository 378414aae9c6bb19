#pragma once

#include "strova/Strova.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
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

// Index of the card the tests run on: the virtual card (always listed
// last), or the card TELLURA_TEST_CARD names, so that the same tests run on
// a simulated V4L2 card where it behaves the same.
inline int VirtualCard() {
  int count = 0;
  Strova_GetCardNumber(&count);
  const char* chosen = std::getenv("TELLURA_TEST_CARD");
  return chosen && *chosen ? std::atoi(chosen) : count - 1;
}

// Reads the preview pin's format once caps are flowing.
inline bool ReadInfo(int card, VideoInfo* info) {
  return WaitFor([&] {
    *info = VideoInfo{};
    info->colorCode = -99;
    return Strova_GetVideoInfo(card, info, STROVA_PIN_PREVIEW) == S_OK && info->colorCode != -99;
  });
}

// The pixels of a 24-bit BMP file held in memory (rows bottom-up, stride
// bytes apart); width 0 when the bytes are no complete BMP.
struct Bmp {
  int width = 0, height = 0;
  size_t stride = 0;
  const uint8_t* rows = nullptr;
  const uint8_t* Pixel(int x, int y) const { return rows + stride * size_t(y) + size_t(x) * 3; }
};

inline Bmp ReadBmp(const std::string& bytes) {
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return {};
  auto le32 = [&](size_t at) {
    return static_cast<int32_t>(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8 | uint8_t(bytes[at + 2]) << 16 |
                                uint32_t(uint8_t(bytes[at + 3])) << 24);
  };
  Bmp b{le32(18), std::abs(le32(22)), 0, reinterpret_cast<const uint8_t*>(bytes.data()) + 54};
  b.stride = (static_cast<size_t>(b.width) * 3 + 3) & ~size_t{3};
  if (b.width < 1 || bytes.size() < 54 + b.stride * static_cast<size_t>(b.height)) return {};
  return b;
}

}  // namespace strova_test
