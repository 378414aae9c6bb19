// The virtual card's simulated hardware: PLL tuner, status byte, control
// word with sound switch and IR key latch, camera switch, video decoder,
// colour controls and input crossbar. Thread-safe: the media sources read
// it from their streaming threads while the library drives it.
#pragma once

#include "strova/card/Card.h"
#include "strova/card/KeyLatch.h"
#include "strova/card/Stations.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace strova::card {

// What the picture and sound generators need, read in one go.
struct VirtualView {
  int input = 1;
  long standard = kStdPalB;
  int64_t tunedHz = 0;
  int station = -1;        // nearest station, -1 when none
  double quality = 0.0;    // 1 = clean picture, 0 = snow
  int64_t offsetHz = 0;    // tuned minus station carrier
  uint32_t sound = 0;          // control-word bits 13..12
  std::array<long, static_cast<int>(ProcAmp::Count)> procAmp{};
};

class VirtualHardware {
 public:
  explicit VirtualHardware(std::vector<Station> stations);

  const std::vector<Station>& Stations() const { return stations_; }

  Status WriteBus(const uint8_t* buf, int length);
  // The status byte as the tuner shows it: with settle times set, no lock
  // until the loop has locked after the last tune, and the window bits only
  // once the AFC has settled.
  Status ReadBus(uint8_t* buf, int length);
  // Simulated settle times (0, 0: the status is right at once).
  void SetSettleTimes(int pllLockMs, int afcSettleMs);
  uint32_t ReadControlWord();
  void WriteControlWord(uint32_t word);
  // Queues a received IR key; the control word shows it once the previous
  // key has been acknowledged. Bounded so a flood cannot grow memory.
  void ReceiveKey(uint16_t code);

  Status CameraWrite(uint8_t byte);
  void CameraTransferBegin();
  void CameraTransferEnd();
  // Every completed camera-switch transfer, bytes in bus order.
  std::vector<std::vector<uint8_t>> CameraTransfers() const;

  long Standard() const;
  Status SetStandard(long standard);
  static long AvailableStandards();

  Status GetProperty(ProcAmp p, long* value) const;
  Status SetProperty(ProcAmp p, long value);
  static bool SupportsProperty(ProcAmp p);
  Status GetColorEx(int property, long* b) const;
  Status SetColorEx(int property, long b);

  int Input() const;
  Status SetInput(int input);

  // Status byte the tuner would report at a frequency.
  uint8_t StatusAt(int64_t hz) const;
  // Picture quality at a frequency (1 on a station, 0 between stations).
  double QualityAt(int64_t hz, int* station = nullptr, int64_t* offset = nullptr) const;
  VirtualView View() const;

  static constexpr int kInputs = 3;
  static constexpr int kTunerInput = 1;
  static constexpr size_t kKeyQueueMax = KeyLatch::kMax;

 private:
  int NearestStation(int64_t hz) const;

  mutable std::mutex mu_;
  std::vector<Station> stations_;
  int64_t tunedHz_;
  std::chrono::steady_clock::time_point tunedAt_{};
  int pllLockMs_ = 0, afcSettleMs_ = 0;
  uint32_t control_ = kNoKeyWord;
  KeyLatch keys_;
  std::vector<uint8_t> cameraBytes_;
  std::vector<std::vector<uint8_t>> cameraLog_;
  bool cameraOpen_ = false;
  long standard_ = kStdPalB;
  std::array<long, static_cast<int>(ProcAmp::Count)> procAmp_{};
  std::array<long, 4> colorEx_{};
  int input_ = kTunerInput;
  static constexpr uint32_t kNoKeyWord = 0x1FF;
};

}  // namespace strova::card
