// The PLL tuner's 5-byte programming message, its status byte and the
// control-word bits shared by the library and the card backends.
#pragma once

#include <array>
#include <cstdint>

namespace strova::card {

inline constexpr uint8_t kTunerAddress = 0xC2;
inline constexpr uint8_t kTunerControl = 0xCE;
inline constexpr int kTunerMinKHz = 47750;
inline constexpr int kTunerMaxKHz = 865250;
inline constexpr int kTunerIfKHz = 38900;

inline constexpr uint8_t kStatusLock = 0x40;
inline constexpr uint8_t kStatusWindowMask = 0x07;
inline constexpr uint8_t kStatusCentred = 2;

// How long the tuner takes after a programming message: the synthesiser's
// phase-locked loop locks (in-lock flag valid), then the AFC reading of the
// IF demodulator settles (window bits valid). Figures for a TSA5522-class
// synthesiser with the fast charge-pump current and a common loop filter.
inline constexpr int kPllLockMs = 20;
inline constexpr int kAfcSettleMs = 30;

inline constexpr uint32_t kKeyMask = 0x1FF;
inline constexpr uint32_t kNoKey = 0x1FF;
inline constexpr uint32_t kSoundMask = 0x3000;
inline constexpr uint32_t kSoundTuner = 0x0000;
inline constexpr uint32_t kSoundLine = 0x2000;
inline constexpr uint32_t kSoundMute = 0x3000;
inline constexpr uint32_t kSoundClearMask = 0xF0000000;

using TunerMessage = std::array<uint8_t, 5>;

constexpr uint8_t TunerBandByte(int kHz) {
  if (kHz < 168250) return 0xA0;
  if (kHz < 456250) return 0x90;
  return 0x30;
}

// False (message untouched) when the frequency is outside the tuner's range.
constexpr bool BuildTunerMessage(int kHz, TunerMessage& msg) {
  if (kHz < kTunerMinKHz || kHz > kTunerMaxKHz) return false;
  const int divider = ((kHz + kTunerIfKHz) * 16) / 1000;
  msg = {kTunerAddress, static_cast<uint8_t>((divider >> 8) & 0xFF),
         static_cast<uint8_t>(divider & 0xFF), kTunerControl, TunerBandByte(kHz)};
  return true;
}

// The picture-carrier frequency in Hz that a programming message tunes to,
// or -1 when the bytes are not a tuner message.
constexpr int64_t DecodeTunerMessageHz(const uint8_t* buf, int length) {
  if (buf == nullptr || length < 5 || buf[0] != kTunerAddress) return -1;
  const int64_t divider = (int64_t{buf[1] & 0x7F} << 8) | buf[2];
  return divider * 62500 - int64_t{kTunerIfKHz} * 1000;
}

}  // namespace strova::card
