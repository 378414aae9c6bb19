// A V4L2 capture node as a card: the bus messages and control word mapped
// to V4L2 tuner, audio, control and input calls.
#pragma once

#include "strova/card/Card.h"
#include "strova/card/KeyLatch.h"
#include "strova/card/RemoteKeymap.h"
#include "strova/card/V4l2Io.h"

#include <linux/videodev2.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace strova::card {

// Analogue standard code <-> v4l2_std_id (0 when the code is unknown).
v4l2_std_id StandardToV4l2(long code);
long StandardFromV4l2(v4l2_std_id id);

class V4l2Card : public Card {
 public:
  // Opens the device node (and, when given, the card's rc-core event node).
  // The card's own ALSA capture device ("hw:N"), when it has one, is its sound.
  // A device whose format no picture can come from (0 x 0, lines or image
  // shorter than the picture, a field order it does not offer) is refused,
  // and *why (when given) says so.
  static std::unique_ptr<V4l2Card> Open(CardInfo info, std::shared_ptr<V4l2Io> io,
                                        std::string remoteEventPath = {},
                                        std::string alsaDevice = {}, std::string* why = nullptr);
  ~V4l2Card() override;

  const CardInfo& Info() const override { return info_; }
  GstElement* CreateVideoSource() override;
  GstElement* CreateAudioSource() override;
  std::unique_ptr<vbi::VbiSource> OpenVbi() override;

  Status ReadDeviceId(uint8_t* id) override;
  Status ReadBus(uint8_t* buf, int length) override;
  Status WriteBus(const uint8_t* buf, int length) override;
  Status ReadControlWord(uint32_t* word) override;
  Status WriteControlWord(uint32_t word) override;

  Status CameraBegin(CameraTransfer*, uint32_t) override { return kNotImpl; }
  Status CameraStart(CameraTransfer*) override { return kNotImpl; }
  Status CameraWriteByte(CameraTransfer*, uint8_t) override { return kNotImpl; }
  Status CameraStop(CameraTransfer*) override { return kNotImpl; }

  Status GetAvailableStandards(long* mask) override;
  Status GetStandard(long* standard) override;
  Status SetStandard(long standard) override;
  Status GetHorizontalLocked(long* locked) override;

  Status GetPropertyRange(ProcAmp p, PropertyRange* range) override;
  Status GetProperty(ProcAmp p, long* value, long* flags) override;
  Status SetProperty(ProcAmp p, long value, long flags) override;
  Status GetColorEx(long, int, long*) override { return kNotImpl; }
  Status SetColorEx(long, int, long) override { return kNotImpl; }

  int InputCount() const override { return int(inputs_.size()); }
  std::string InputName(int input) const override;
  Status Route(int input, int output) override;
  Status RoutedInput(int output, int* input) override;
  bool HasPropertyPage(int page) const override;
  Status GetControl(int index, DeviceControl* control) override;
  Status SetControl(uint32_t id, long value) override;

  // The remote's keymap (read from the user's file when the card has a
  // receiver).
  void SetKeymap(RemoteKeymap keymap) { keymap_ = std::move(keymap); }

  // The exported colour scale every control is mapped onto.
  static constexpr long kScaleMax = 10000;
  // A card that delivers no frame for this long while streaming has stalled.
  static constexpr int kStallMs = 4000;

 private:
  V4l2Card(CardInfo info, std::shared_ptr<V4l2Io> io, int fd);
  int Xioctl(unsigned long request, void* arg);
  bool QueryControl(ProcAmp p, v4l2_queryctrl* q);
  void ApplySound(uint32_t bits);
  void DrainRemote();
  // The set call of request with the argument fill writes; retried with the
  // stream stopped when the driver is busy streaming.
  bool SetWhileStreaming(unsigned long request, const std::function<void(void*)>& fill);

  CardInfo info_;
  std::shared_ptr<V4l2Io> io_;
  int fd_ = -1;
  int remoteFd_ = -1;
  std::string alsaDevice_;
  std::vector<std::string> inputs_;
  int tunerInput_ = -1;
  std::vector<int> tuners_;  // per input: its tuner's index, -1 for none
  uint32_t tunerIndex_ = 0;  // the tuner the bus messages go to
  std::mutex mu_;
  uint32_t control_ = 0x1FF;
  KeyLatch keys_;
  RemoteKeymap keymap_;
};

}  // namespace strova::card
