#include "strova/card/VirtualCard.h"

#include "strova/card/CardControl.h"
#include "strova/card/RemoteProtocol.h"
#include "strova/card/Tuner.h"
#include "strova/card/VirtualSource.h"
#include "strova/card/VirtualVbi.h"

#include <mutex>

namespace strova::card {
namespace {

// The simulated hardware lives as long as the process, as a real card's
// state lives in the card: tuned frequency, standard, input and colour
// controls survive a disconnect and the next connect.
std::shared_ptr<VirtualHardware> SharedHardware() {
  static std::mutex mu;
  static std::shared_ptr<VirtualHardware> hw;
  std::lock_guard lock(mu);
  if (!hw) hw = std::make_shared<VirtualHardware>(LoadStations());
  return hw;
}

}  // namespace

VirtualCard::VirtualCard(CardInfo info)
    : info_(std::move(info)), hw_(SharedHardware()), remote_(RemoteSocketPath()) {}

GstElement* VirtualCard::CreateVideoSource() { return MakeVirtualVideoSource(hw_); }
GstElement* VirtualCard::CreateAudioSource() { return MakeVirtualAudioSource(hw_); }
std::unique_ptr<vbi::VbiSource> VirtualCard::OpenVbi() { return MakeVirtualVbiSource(hw_); }

Status VirtualCard::ReadDeviceId(uint8_t* id) {
  if (id == nullptr) return kInvalidArg;
  *id = kDeviceId;
  return kOk;
}

// The tuner takes a real tuner's settle times, unless tests have shortened
// the library's wait below them: then it settles at once.
Status VirtualCard::ReadBus(uint8_t* buf, int length) {
  const bool realTimes = TunerSettleMs() >= kPllLockMs + kAfcSettleMs;
  hw_->SetSettleTimes(realTimes ? kPllLockMs : 0, realTimes ? kAfcSettleMs : 0);
  return hw_->ReadBus(buf, length);
}
Status VirtualCard::WriteBus(const uint8_t* buf, int length) { return hw_->WriteBus(buf, length); }

Status VirtualCard::ReadControlWord(uint32_t* word) {
  if (word == nullptr) return kInvalidArg;
  remote_.Drain([this](uint16_t code) { hw_->ReceiveKey(code); });
  *word = hw_->ReadControlWord();
  return kOk;
}

Status VirtualCard::WriteControlWord(uint32_t word) {
  hw_->WriteControlWord(word);
  return kOk;
}

Status VirtualCard::CameraBegin(CameraTransfer* t, uint32_t) {
  if (t == nullptr) return kInvalidArg;
  t->context = kCameraContext;
  return kOk;
}

Status VirtualCard::CameraStart(CameraTransfer* t) {
  if (t == nullptr || t->context != kCameraContext) return kFail;
  hw_->CameraTransferBegin();
  return kOk;
}

Status VirtualCard::CameraWriteByte(CameraTransfer* t, uint8_t byte) {
  if (t == nullptr || t->context != kCameraContext) return kFail;
  return hw_->CameraWrite(byte);
}

Status VirtualCard::CameraStop(CameraTransfer* t) {
  if (t == nullptr || t->context != kCameraContext) return kFail;
  hw_->CameraTransferEnd();
  t->context = 0;
  return kOk;
}

Status VirtualCard::GetAvailableStandards(long* mask) {
  if (mask == nullptr) return kInvalidArg;
  *mask = VirtualHardware::AvailableStandards();
  return kOk;
}

Status VirtualCard::GetStandard(long* standard) {
  if (standard == nullptr) return kInvalidArg;
  *standard = hw_->Standard();
  return kOk;
}

Status VirtualCard::SetStandard(long standard) { return hw_->SetStandard(standard); }

Status VirtualCard::GetHorizontalLocked(long* locked) {
  if (locked == nullptr) return kInvalidArg;
  const VirtualView v = hw_->View();
  *locked = (v.input != VirtualHardware::kTunerInput || v.quality >= 0.3) ? 1 : 0;
  return kOk;
}

Status VirtualCard::GetPropertyRange(ProcAmp p, PropertyRange* range) {
  if (range == nullptr) return kInvalidArg;
  if (!VirtualHardware::SupportsProperty(p)) return kNotImpl;
  *range = {0, 10000, 1, 5000, kProcAmpFlagManual};
  return kOk;
}

Status VirtualCard::GetProperty(ProcAmp p, long* value, long* flags) {
  if (value == nullptr || flags == nullptr) return kInvalidArg;
  const Status st = hw_->GetProperty(p, value);
  if (st == kOk) *flags = kProcAmpFlagManual;
  return st;
}

Status VirtualCard::SetProperty(ProcAmp p, long value, long) { return hw_->SetProperty(p, value); }

Status VirtualCard::GetColorEx(long, int property, long* b) { return hw_->GetColorEx(property, b); }
Status VirtualCard::SetColorEx(long, int property, long b) { return hw_->SetColorEx(property, b); }

std::string VirtualCard::InputName(int input) const {
  // As the viewer's panel and video page name them; input 1 is the tuner.
  static const char* kNames[] = {"S-Video", "Video1-In (TV)", "Video2-In"};
  return (input >= 0 && input < VirtualHardware::kInputs) ? kNames[input] : "";
}

Status VirtualCard::Route(int input, int output) {
  if (output != 0) return kInvalidArg;
  return hw_->SetInput(input);
}

Status VirtualCard::RoutedInput(int output, int* input) {
  if (output != 0 || input == nullptr) return kInvalidArg;
  *input = hw_->Input();
  return kOk;
}

bool VirtualCard::HasPropertyPage(int page) const {
  // Capture device, both stream formats, the crossbar and the tuner.
  return page == 0 || page == 1 || page == 2 || page == 3 || page == 8;
}

}  // namespace strova::card
