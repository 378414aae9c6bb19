// The built-in virtual card: the simulated hardware behind the Card
// interface, with generated picture and sound.
#pragma once

#include "strova/card/Card.h"
#include "strova/card/RemoteReceiver.h"
#include "strova/card/VirtualHardware.h"

#include <memory>

namespace strova::card {

inline constexpr const char* kVirtualCardName = "Quorvel Tellura Capture (virtual)";

class VirtualCard : public Card {
 public:
  explicit VirtualCard(CardInfo info);
  ~VirtualCard() override = default;

  // The simulated hardware, for tests and diagnostics.
  VirtualHardware& Hardware() { return *hw_; }

  const CardInfo& Info() const override { return info_; }
  GstElement* CreateVideoSource() override;
  GstElement* CreateAudioSource() override;
  std::unique_ptr<vbi::VbiSource> OpenVbi() override;

  Status ReadDeviceId(uint8_t* id) override;
  Status ReadBus(uint8_t* buf, int length) override;
  Status WriteBus(const uint8_t* buf, int length) override;
  Status ReadControlWord(uint32_t* word) override;
  Status WriteControlWord(uint32_t word) override;

  Status CameraBegin(CameraTransfer* t, uint32_t arg) override;
  Status CameraStart(CameraTransfer* t) override;
  Status CameraWriteByte(CameraTransfer* t, uint8_t byte) override;
  Status CameraStop(CameraTransfer* t) override;

  Status GetAvailableStandards(long* mask) override;
  Status GetStandard(long* standard) override;
  Status SetStandard(long standard) override;
  Status GetHorizontalLocked(long* locked) override;

  Status GetPropertyRange(ProcAmp p, PropertyRange* range) override;
  Status GetProperty(ProcAmp p, long* value, long* flags) override;
  Status SetProperty(ProcAmp p, long value, long flags) override;
  Status GetColorEx(long a, int property, long* b) override;
  Status SetColorEx(long a, int property, long b) override;

  int InputCount() const override { return VirtualHardware::kInputs; }
  std::string InputName(int input) const override;
  Status Route(int input, int output) override;
  Status RoutedInput(int output, int* input) override;
  bool HasPropertyPage(int page) const override;

  static constexpr uint8_t kDeviceId = 1;
  static constexpr uint32_t kCameraContext = 0x43414D31;  // marks a begun transfer

 private:
  CardInfo info_;
  std::shared_ptr<VirtualHardware> hw_;
  RemoteReceiver remote_;
};

}  // namespace strova::card
