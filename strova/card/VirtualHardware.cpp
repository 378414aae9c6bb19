#include "strova/card/VirtualHardware.h"

#include "strova/card/Tuner.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace strova::card {
namespace {

// The tuner's AFC centre lies this far above the picture carrier, so a
// station stored at the centre found by a scan minus 446 kHz is well tuned.
constexpr int64_t kAfcCentreHz = 446000;
constexpr int64_t kCentredHz = 125000;   // window 2
constexpr int64_t kCloseHz = 250000;     // windows 1 and 3
constexpr int64_t kLockHz = 1000000;     // lock flag around the AFC centre
constexpr int64_t kCleanHz = 500000;     // clean picture around the carrier
constexpr int64_t kSnowHz = 2500000;     // pure snow beyond this offset

constexpr long kPropMax = 10000;
constexpr long kPropDefault = 5000;

bool IsSingleKnownStandard(long s) {
  return s != 0 && (s & (s - 1)) == 0 && (s & VirtualHardware::AvailableStandards()) == s;
}

}  // namespace

bool Is525Line(long standard) {
  return (standard & (kStdNtscM | kStdNtscMJ | kStdNtsc433 | kStdPalM | kStdPal60)) != 0;
}

VirtualHardware::VirtualHardware(std::vector<Station> stations)
    : stations_(std::move(stations)),
      tunedHz_(stations_.empty() ? int64_t{kTunerMinKHz} * 1000 : int64_t{stations_[0].kHz} * 1000) {
  procAmp_.fill(kPropDefault);
}

int VirtualHardware::NearestStation(int64_t hz) const {
  int best = -1;
  int64_t bestDist = 0;
  for (size_t i = 0; i < stations_.size(); ++i) {
    const int64_t d = std::llabs(hz - int64_t{stations_[i].kHz} * 1000 - kAfcCentreHz / 2);
    if (best < 0 || d < bestDist) {
      best = static_cast<int>(i);
      bestDist = d;
    }
  }
  return best;
}

uint8_t VirtualHardware::StatusAt(int64_t hz) const {
  const int s = NearestStation(hz);
  if (s < 0) return 0;
  const int64_t o = hz - (int64_t{stations_[s].kHz} * 1000 + kAfcCentreHz);
  if (std::llabs(o) > kLockHz) return 0;
  uint8_t window = 2;
  if (o > kCloseHz) window = 0;
  else if (o > kCentredHz) window = 1;
  else if (o < -kCloseHz) window = 4;
  else if (o < -kCentredHz) window = 3;
  return kStatusLock | window;
}

double VirtualHardware::QualityAt(int64_t hz, int* station, int64_t* offset) const {
  const int s = NearestStation(hz);
  if (station) *station = s;
  if (s < 0) return 0.0;
  const int64_t o = hz - int64_t{stations_[s].kHz} * 1000;
  if (offset) *offset = o;
  const int64_t d = std::llabs(o);
  if (d <= kCleanHz) return 1.0;
  if (d >= kSnowHz) return 0.0;
  const double t = double(kSnowHz - d) / double(kSnowHz - kCleanHz);
  return t * t * (3 - 2 * t);  // smooth fall-off
}

Status VirtualHardware::WriteBus(const uint8_t* buf, int length) {
  if (buf == nullptr || length < 1) return kInvalidArg;
  const int64_t hz = DecodeTunerMessageHz(buf, length);
  if (hz < 0) return kFail;  // no other device answers on this bus
  std::lock_guard lock(mu_);
  if (hz != tunedHz_) tunedAt_ = std::chrono::steady_clock::now();
  tunedHz_ = hz;
  return kOk;
}

void VirtualHardware::SetSettleTimes(int pllLockMs, int afcSettleMs) {
  std::lock_guard lock(mu_);
  pllLockMs_ = std::max(0, pllLockMs);
  afcSettleMs_ = std::max(0, afcSettleMs);
}

Status VirtualHardware::ReadBus(uint8_t* buf, int length) {
  if (buf == nullptr || length < 1) return kInvalidArg;
  if (buf[0] != kTunerAddress) return kFail;
  std::lock_guard lock(mu_);
  uint8_t status = StatusAt(tunedHz_);
  const auto since = std::chrono::steady_clock::now() - tunedAt_;
  if (since < std::chrono::milliseconds(pllLockMs_))
    status = 0;  // the loop has not locked yet
  else if (since < std::chrono::milliseconds(pllLockMs_ + afcSettleMs_))
    status &= uint8_t(~kStatusWindowMask);  // the AFC still reads "far above"
  std::fill(buf, buf + length, status);
  return kOk;
}

uint32_t VirtualHardware::ReadControlWord() {
  std::lock_guard lock(mu_);
  control_ = keys_.Latch(control_);
  return control_;
}

void VirtualHardware::WriteControlWord(uint32_t word) {
  std::lock_guard lock(mu_);
  control_ = word;
}

void VirtualHardware::ReceiveKey(uint16_t code) {
  std::lock_guard lock(mu_);
  keys_.Push(code);
}

void VirtualHardware::CameraTransferBegin() {
  std::lock_guard lock(mu_);
  cameraBytes_.clear();
  cameraOpen_ = true;
}

Status VirtualHardware::CameraWrite(uint8_t byte) {
  std::lock_guard lock(mu_);
  if (!cameraOpen_) return kFail;
  if (cameraBytes_.size() < 16) cameraBytes_.push_back(byte);
  return kOk;
}

void VirtualHardware::CameraTransferEnd() {
  std::lock_guard lock(mu_);
  if (!cameraOpen_) return;
  cameraOpen_ = false;
  if (cameraLog_.size() >= 256) cameraLog_.erase(cameraLog_.begin());
  cameraLog_.push_back(cameraBytes_);
}

std::vector<std::vector<uint8_t>> VirtualHardware::CameraTransfers() const {
  std::lock_guard lock(mu_);
  return cameraLog_;
}

long VirtualHardware::AvailableStandards() {
  return kStdNtscM | kStdNtscMJ | kStdPalB | kStdPalD | kStdPalG | kStdPalH | kStdPalI |
         kStdPalM | kStdPalN | kStdSecamB | kStdSecamD | kStdSecamG | kStdSecamK | kStdSecamL;
}

long VirtualHardware::Standard() const {
  std::lock_guard lock(mu_);
  return standard_;
}

Status VirtualHardware::SetStandard(long standard) {
  if (!IsSingleKnownStandard(standard)) return kFail;
  std::lock_guard lock(mu_);
  standard_ = standard;
  return kOk;
}

bool VirtualHardware::SupportsProperty(ProcAmp p) {
  return p == ProcAmp::Brightness || p == ProcAmp::Contrast || p == ProcAmp::Hue ||
         p == ProcAmp::Saturation || p == ProcAmp::Sharpness;
}

Status VirtualHardware::GetProperty(ProcAmp p, long* value) const {
  if (!SupportsProperty(p)) return kNotImpl;
  if (value == nullptr) return kInvalidArg;
  std::lock_guard lock(mu_);
  *value = procAmp_[static_cast<int>(p)];
  return kOk;
}

Status VirtualHardware::SetProperty(ProcAmp p, long value) {
  if (!SupportsProperty(p)) return kNotImpl;
  if (value < 0 || value > kPropMax) return kInvalidArg;
  std::lock_guard lock(mu_);
  procAmp_[static_cast<int>(p)] = value;
  return kOk;
}

Status VirtualHardware::GetColorEx(int property, long* b) const {
  if (property < 0 || property > 3 || b == nullptr) return kInvalidArg;
  std::lock_guard lock(mu_);
  *b = colorEx_[property];
  return kOk;
}

Status VirtualHardware::SetColorEx(int property, long b) {
  if (property < 0 || property > 3) return kInvalidArg;
  std::lock_guard lock(mu_);
  colorEx_[property] = b;
  return kOk;
}

int VirtualHardware::Input() const {
  std::lock_guard lock(mu_);
  return input_;
}

Status VirtualHardware::SetInput(int input) {
  if (input < 0 || input >= kInputs) return kInvalidArg;
  std::lock_guard lock(mu_);
  input_ = input;
  return kOk;
}

VirtualView VirtualHardware::View() const {
  std::lock_guard lock(mu_);
  VirtualView v;
  v.input = input_;
  v.standard = standard_;
  v.tunedHz = tunedHz_;
  v.quality = QualityAt(tunedHz_, &v.station, &v.offsetHz);
  v.sound = control_ & kSoundMask;
  v.procAmp = procAmp_;
  return v;
}

}  // namespace strova::card
