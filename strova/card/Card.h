// Card backends: the one interface behind which the virtual card and V4L2
// cards sit. EnumerateCards() is the single place a backend is chosen.
#pragma once

#include "strova/vbi/VbiFormat.h"

#include <gst/gst.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace strova::card {

// Status values: 0 = success, otherwise a negative 32-bit code.
using Status = int32_t;
inline constexpr Status kOk = 0;
inline constexpr Status kFail = static_cast<Status>(0x80004005u);        // E_FAIL
inline constexpr Status kInvalidArg = static_cast<Status>(0x80070057u);  // E_INVALIDARG
inline constexpr Status kNotImpl = static_cast<Status>(0x80004001u);     // E_NOTIMPL

// Analogue video standard codes (bit set).
enum StandardCode : long {
  kStdNone = 0,
  kStdNtscM = 0x1, kStdNtscMJ = 0x2, kStdNtsc433 = 0x4,
  kStdPalB = 0x10, kStdPalD = 0x20, kStdPalG = 0x40, kStdPalH = 0x80, kStdPalI = 0x100,
  kStdPalM = 0x200, kStdPalN = 0x400, kStdPal60 = 0x800,
  kStdSecamB = 0x1000, kStdSecamD = 0x2000, kStdSecamG = 0x4000, kStdSecamH = 0x8000,
  kStdSecamK = 0x10000, kStdSecamK1 = 0x20000, kStdSecamL = 0x40000, kStdSecamL1 = 0x80000,
  kStdPalNCombo = 0x100000,
};
// True for the 525-line (480 visible lines, 29.97 fps) standards.
bool Is525Line(long standard);

// Processing-amplifier properties, in the order of the export's index.
enum class ProcAmp : int {
  Brightness = 0, Contrast, Hue, Saturation, Gamma, ColorEnable, WhiteBalance,
  BacklightCompensation, Sharpness, Count
};
inline constexpr long kProcAmpFlagAuto = 1;
inline constexpr long kProcAmpFlagManual = 2;

struct PropertyRange {
  long min = 0, max = 0, step = 0, def = 0, flags = 0;
};

// Property pages the card can offer (page index of the exports, 0..11).
inline constexpr int kPageCount = 12;

struct CardInfo {
  std::string name;        // shown to the user
  std::string devicePath;  // /dev/videoN; empty for the virtual card
  bool isVirtual = false;
  std::string busInfo;     // V4L2 bus_info, used to find the card's remote and sound
};

// Lists every card: V4L2 capture nodes first, the virtual card always last.
std::vector<CardInfo> EnumerateCards();

// A real card's own ALSA capture device ("hw:M"); empty when it has none
// (and for the virtual card, whose sound is generated).
std::string CardSoundDevice(const CardInfo& info);

class Card;
// Opens the backend for one listed card; null when the device cannot be opened.
// A device refused for what it reports says why in *why (when given).
std::unique_ptr<Card> OpenCard(const CardInfo& info, std::string* why = nullptr);

// Transfer context of a camera-switch bus transfer.
struct CameraTransfer {
  uint32_t context = 0;
};

// One control of the device as its own property page shows it.
struct DeviceControl {
  enum Type { kInteger = 1, kBoolean = 2, kMenu = 3, kButton = 4 };
  uint32_t id = 0;
  std::string name;
  int type = kInteger;
  long minimum = 0, maximum = 0, step = 1, def = 0, value = 0;
  std::vector<std::string> items;  // menu: the name of value minimum + i ("" = no such entry)
};

class Card {
 public:
  virtual ~Card() = default;
  virtual const CardInfo& Info() const = 0;

  // --- Media -------------------------------------------------------------
  // New floating element giving raw video at the current standard.
  virtual GstElement* CreateVideoSource() = 0;
  // New floating element giving raw audio; null when the card has none.
  virtual GstElement* CreateAudioSource() = 0;
  // The card's raw VBI, independent of the graph; null when it has none.
  virtual std::unique_ptr<vbi::VbiSource> OpenVbi() { return nullptr; }

  // --- Card control (start-up: Attach, Open, Start; shut-down: Close, Stop, Detach)
  virtual Status AttachCaptureFilter() { return kOk; }
  virtual Status DetachCaptureFilter() { return kOk; }
  virtual Status OpenCard() { return kOk; }
  virtual Status CloseCard() { return kOk; }
  virtual Status StartCard() { return kOk; }
  virtual Status StopCard() { return kOk; }
  virtual Status ReadDeviceId(uint8_t* id) = 0;
  // buf[0] = device address byte; the bytes read replace the buffer content.
  virtual Status ReadBus(uint8_t* buf, int length) = 0;
  // buf[0] = device address byte, then the data bytes.
  virtual Status WriteBus(const uint8_t* buf, int length) = 0;
  virtual Status ReadControlWord(uint32_t* word) = 0;
  virtual Status WriteControlWord(uint32_t word) = 0;

  // --- Camera switch: begin, start, write byte(s), stop -------------------
  virtual Status CameraBegin(CameraTransfer* t, uint32_t arg) = 0;
  virtual Status CameraStart(CameraTransfer* t) = 0;
  virtual Status CameraWriteByte(CameraTransfer* t, uint8_t byte) = 0;
  virtual Status CameraStop(CameraTransfer* t) = 0;

  // --- Video decoder ------------------------------------------------------
  virtual Status GetAvailableStandards(long* mask) = 0;
  virtual Status GetStandard(long* standard) = 0;
  // An unknown or unsupported code is refused with kFail.
  virtual Status SetStandard(long standard) = 0;
  virtual Status GetHorizontalLocked(long* locked) = 0;

  // --- Processing amplifier ----------------------------------------------
  virtual Status GetPropertyRange(ProcAmp p, PropertyRange* range) = 0;
  virtual Status GetProperty(ProcAmp p, long* value, long* flags) = 0;
  virtual Status SetProperty(ProcAmp p, long value, long flags) = 0;

  // --- Extended colour interface (property 0..3) --------------------------
  virtual Status GetColorEx(long a, int property, long* b) = 0;
  virtual Status SetColorEx(long a, int property, long b) = 0;

  // --- Crossbar: the card's inputs; output 0 is the video decoder ---------
  virtual int InputCount() const = 0;
  virtual std::string InputName(int input) const = 0;
  virtual int OutputCount() const { return 1; }
  virtual Status Route(int input, int output) = 0;
  virtual Status RoutedInput(int output, int* input) = 0;

  // --- Property pages: whether the card has a counterpart for the page ----
  virtual bool HasPropertyPage(int page) const = 0;

  // --- Device controls (property page 0), numbered from 0 -----------------
  // The default: the processing amplifier's properties, id = property index.
  // kFail past the last control.
  virtual Status GetControl(int index, DeviceControl* control);
  virtual Status SetControl(uint32_t id, long value);

  // --- Streaming --------------------------------------------------------
  // Runs op with the card's stream stopped and starts it again, so the
  // picture is agreed anew; op's result is returned. The graph that streams
  // the card sets it; a driver that refuses a standard or input while it
  // streams (EBUSY) is retried through it.
  using StreamPause = std::function<bool(const std::function<bool()>& op)>;
  void SetStreamPause(StreamPause pause) { streamPause_ = std::move(pause); }

 protected:
  bool WhileStopped(const std::function<bool()>& op) { return streamPause_ && streamPause_(op); }

 private:
  StreamPause streamPause_;
};

}  // namespace strova::card
