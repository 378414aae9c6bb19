#include "strova/card/V4l2Card.h"

#include "strova/card/Tuner.h"
#include "strova/vbi/VbiService.h"

#include <linux/input.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace strova::card {
namespace {

struct StdPair {
  long code;
  v4l2_std_id id;
};

constexpr StdPair kStandards[] = {
    {kStdNtscM, V4L2_STD_NTSC_M},       {kStdNtscMJ, V4L2_STD_NTSC_M_JP},
    {kStdNtsc433, V4L2_STD_NTSC_443},   {kStdPalB, V4L2_STD_PAL_B},
    {kStdPalD, V4L2_STD_PAL_D},         {kStdPalG, V4L2_STD_PAL_G},
    {kStdPalH, V4L2_STD_PAL_H},         {kStdPalI, V4L2_STD_PAL_I},
    {kStdPalM, V4L2_STD_PAL_M},         {kStdPalN, V4L2_STD_PAL_N},
    {kStdPal60, V4L2_STD_PAL_60},       {kStdSecamB, V4L2_STD_SECAM_B},
    {kStdSecamD, V4L2_STD_SECAM_D},     {kStdSecamG, V4L2_STD_SECAM_G},
    {kStdSecamH, V4L2_STD_SECAM_H},     {kStdSecamK, V4L2_STD_SECAM_K},
    {kStdSecamK1, V4L2_STD_SECAM_K1},   {kStdSecamL, V4L2_STD_SECAM_L},
    {kStdSecamL1, V4L2_STD_SECAM_LC},   {kStdPalNCombo, V4L2_STD_PAL_Nc},
};

// Processing-amplifier property -> V4L2 control (0: none on V4L2).
constexpr uint32_t kProcAmpCid[] = {
    V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_HUE, V4L2_CID_SATURATION,
    V4L2_CID_GAMMA, 0, V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_BACKLIGHT_COMPENSATION,
    V4L2_CID_SHARPNESS,
};

constexpr int kMaxInputs = 32;
constexpr int kMaxEventsPerRead = 64;
constexpr int kSignalLocked = 0x8000;

long ToScale(long v, const v4l2_queryctrl& q) {
  const long range = long(q.maximum) - q.minimum;
  if (range <= 0) return 0;
  return ((v - q.minimum) * V4l2Card::kScaleMax + range / 2) / range;
}

long FromScale(long v, const v4l2_queryctrl& q) {
  const long range = long(q.maximum) - q.minimum;
  return q.minimum + (v * range + V4l2Card::kScaleMax / 2) / V4l2Card::kScaleMax;
}

uint32_t BytesPerPixel(uint32_t fourcc) {
  switch (fourcc) {
    case V4L2_PIX_FMT_GREY: return 1;
    case V4L2_PIX_FMT_YUYV: case V4L2_PIX_FMT_UYVY: case V4L2_PIX_FMT_YVYU: case V4L2_PIX_FMT_VYUY:
    case V4L2_PIX_FMT_RGB565: case V4L2_PIX_FMT_RGB555: return 2;
    case V4L2_PIX_FMT_BGR24: case V4L2_PIX_FMT_RGB24: return 3;
    case V4L2_PIX_FMT_BGR32: case V4L2_PIX_FMT_RGB32: return 4;
    default: return 0;  // planar or compressed: not checked here
  }
}

bool KnownField(uint32_t field) {
  switch (field) {
    case V4L2_FIELD_NONE: case V4L2_FIELD_TOP: case V4L2_FIELD_BOTTOM: case V4L2_FIELD_INTERLACED:
    case V4L2_FIELD_INTERLACED_TB: case V4L2_FIELD_INTERLACED_BT: case V4L2_FIELD_ALTERNATE:
      return true;
    default:
      return false;
  }
}

// What is wrong with the format the device reports; empty when it is sound
// (or the device does not report one).
std::string FormatProblem(V4l2Io& io, int fd) {
  v4l2_format f{};
  f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (io.Ioctl(fd, VIDIOC_G_FMT, &f) != 0) return {};
  const v4l2_pix_format p = f.fmt.pix;
  if (p.width == 0 || p.height == 0) return "the device reports a picture of 0 x 0";
  const uint32_t bpp = BytesPerPixel(p.pixelformat);
  if (bpp && p.bytesperline < uint64_t{p.width} * bpp) return "the device reports lines shorter than its picture";
  if (bpp && p.sizeimage < uint64_t{p.bytesperline} * p.height) return "the device reports an image smaller than its picture";
  if (!KnownField(p.field)) return "the device reports field order " + std::to_string(p.field) + ", which no picture has";
  // The field it reports must be one it offers for the same format.
  v4l2_format t = f;
  if (io.Ioctl(fd, VIDIOC_TRY_FMT, &t) == 0 && t.fmt.pix.field != p.field)
    return "the device reports field order " + std::to_string(p.field) + " but offers " + std::to_string(t.fmt.pix.field);
  return {};
}

}  // namespace

v4l2_std_id StandardToV4l2(long code) {
  for (const auto& s : kStandards)
    if (s.code == code) return s.id;
  return 0;
}

long StandardFromV4l2(v4l2_std_id id) {
  long code = 0;
  for (const auto& s : kStandards)
    if ((id & s.id) == s.id) code |= s.code;
  return code;
}

std::unique_ptr<V4l2Card> V4l2Card::Open(CardInfo info, std::shared_ptr<V4l2Io> io,
                                         std::string remoteEventPath, std::string alsaDevice, std::string* why) {
  if (!io) return nullptr;
  const int fd = io->Open(info.devicePath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  v4l2_capability cap{};
  const bool ok = io->Ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0 &&
                  (((cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities) &
                   V4L2_CAP_VIDEO_CAPTURE);
  const std::string problem = ok ? FormatProblem(*io, fd) : std::string();
  if (!ok || !problem.empty()) {
    if (why) *why = problem;
    io->Close(fd);
    return nullptr;
  }
  std::unique_ptr<V4l2Card> card(new V4l2Card(std::move(info), std::move(io), fd));
  card->alsaDevice_ = std::move(alsaDevice);
  if (!remoteEventPath.empty()) card->keymap_ = RemoteKeymap::LoadUser();
  if (!remoteEventPath.empty())
    card->remoteFd_ = card->io_->Open(remoteEventPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  return card;
}

V4l2Card::V4l2Card(CardInfo info, std::shared_ptr<V4l2Io> io, int fd)
    : info_(std::move(info)), io_(std::move(io)), fd_(fd) {
  for (int i = 0; i < kMaxInputs; ++i) {
    v4l2_input in{};
    in.index = uint32_t(i);
    if (Xioctl(VIDIOC_ENUMINPUT, &in) != 0) break;
    inputs_.emplace_back(reinterpret_cast<const char*>(in.name),
                         strnlen(reinterpret_cast<const char*>(in.name), sizeof in.name));
    const bool tuner = in.type == V4L2_INPUT_TYPE_TUNER;
    tuners_.push_back(tuner ? int(in.tuner) : -1);
    if (tuner && tunerInput_ < 0) {
      tunerInput_ = i;
      tunerIndex_ = in.tuner;
    }
  }
}

V4l2Card::~V4l2Card() {
  if (remoteFd_ >= 0) io_->Close(remoteFd_);
  if (fd_ >= 0) io_->Close(fd_);
}

int V4l2Card::Xioctl(unsigned long request, void* arg) {
  int r;
  do {
    r = io_->Ioctl(fd_, request, arg);
  } while (r < 0 && errno == EINTR);
  return r;
}

// v4l2src waits for the driver's next buffer without a limit: a card that
// stops delivering (a stalled DQBUF) would leave the picture frozen and
// nobody told. The watchdog behind it posts an error on the bus once no
// frame has come for kStallMs while the graph plays; stopping the graph
// flushes v4l2src's wait, so a stalled card never holds up a stop.
GstElement* V4l2Card::CreateVideoSource() {
  GstElement* src = gst_element_factory_make("v4l2src", nullptr);
  if (!src) return nullptr;
  g_object_set(src, "device", info_.devicePath.c_str(), nullptr);
  GstElement* watchdog = gst_element_factory_make("watchdog", nullptr);
  if (!watchdog) return src;
  g_object_set(watchdog, "timeout", kStallMs, nullptr);
  GstElement* bin = gst_bin_new(nullptr);
  gst_bin_add_many(GST_BIN(bin), src, watchdog, nullptr);
  GstPad* out = gst_element_get_static_pad(watchdog, "src");
  GstPad* ghost = gst_element_link(src, watchdog) ? gst_ghost_pad_new("src", out) : nullptr;
  gst_object_unref(out);
  if (!ghost || !gst_element_add_pad(bin, ghost)) {
    gst_object_unref(bin);
    return nullptr;
  }
  return bin;
}

GstElement* V4l2Card::CreateAudioSource() {
  if (alsaDevice_.empty()) return nullptr;
  GstElement* src = gst_element_factory_make("alsasrc", nullptr);
  if (src) g_object_set(src, "device", alsaDevice_.c_str(), nullptr);
  return src;
}

std::unique_ptr<vbi::VbiSource> V4l2Card::OpenVbi() {
  return vbi::OpenV4l2Vbi(info_.devicePath, info_.busInfo);
}

Status V4l2Card::ReadDeviceId(uint8_t* id) {
  if (id == nullptr) return kInvalidArg;
  *id = 1;
  return kOk;
}

Status V4l2Card::WriteBus(const uint8_t* buf, int length) {
  const int64_t hz = DecodeTunerMessageHz(buf, length);
  if (hz < 0) return kFail;
  v4l2_tuner tuner{};
  tuner.index = tunerIndex_;
  if (Xioctl(VIDIOC_G_TUNER, &tuner) != 0) return kFail;
  v4l2_frequency f{};
  f.tuner = tunerIndex_;
  f.type = V4L2_TUNER_ANALOG_TV;
  // Tuner units: 62.5 Hz with the low-frequency capability, else 62.5 kHz.
  f.frequency = uint32_t((tuner.capability & V4L2_TUNER_CAP_LOW) ? (hz * 2 + 62) / 125
                                                                : (hz + 31250) / 62500);
  return Xioctl(VIDIOC_S_FREQUENCY, &f) == 0 ? kOk : kFail;
}

Status V4l2Card::ReadBus(uint8_t* buf, int length) {
  if (buf == nullptr || length < 1) return kInvalidArg;
  if (buf[0] != kTunerAddress) return kFail;
  v4l2_tuner tuner{};
  tuner.index = tunerIndex_;
  if (Xioctl(VIDIOC_G_TUNER, &tuner) != 0) return kFail;
  uint8_t status = 0;
  if (tuner.signal >= kSignalLocked) {
    // afc > 0: tuned too high; afc < 0: too low.
    const uint8_t window = tuner.afc == 0 ? kStatusCentred : (tuner.afc > 0 ? 1 : 3);
    status = kStatusLock | window;
  }
  std::memset(buf, status, size_t(length));
  return kOk;
}

void V4l2Card::DrainRemote() {
  if (remoteFd_ < 0) return;
  input_event ev[kMaxEventsPerRead];
  for (int round = 0; round < 4 && io_->Poll(remoteFd_, 0) > 0; ++round) {
    const ssize_t n = io_->Read(remoteFd_, ev, sizeof ev);
    if (n <= 0) break;
    for (size_t i = 0; i < size_t(n) / sizeof(input_event); ++i) {
      if (ev[i].type != EV_MSC || ev[i].code != MSC_SCAN) continue;
      // A scancode the keymap does not know is no key of ours.
      if (const auto key = keymap_.Find(uint32_t(ev[i].value))) keys_.Push(*key);
    }
  }
}

Status V4l2Card::ReadControlWord(uint32_t* word) {
  if (word == nullptr) return kInvalidArg;
  std::lock_guard lock(mu_);
  DrainRemote();
  control_ = keys_.Latch(control_);
  *word = control_;
  return kOk;
}

void V4l2Card::ApplySound(uint32_t bits) {
  v4l2_control mute{V4L2_CID_AUDIO_MUTE, bits == kSoundMute ? 1 : 0};
  Xioctl(VIDIOC_S_CTRL, &mute);
  if (bits == kSoundMute) return;
  // Audio input 0 is the tuner's sound on TV cards; the next one is the line input.
  v4l2_audio audio{};
  audio.index = bits == kSoundLine ? 1 : 0;
  Xioctl(VIDIOC_S_AUDIO, &audio);
}

Status V4l2Card::WriteControlWord(uint32_t word) {
  std::lock_guard lock(mu_);
  const uint32_t oldSound = control_ & kSoundMask;
  control_ = word;
  if ((word & kSoundMask) != oldSound) ApplySound(word & kSoundMask);
  return kOk;
}

Status V4l2Card::GetAvailableStandards(long* mask) {
  if (mask == nullptr) return kInvalidArg;
  v4l2_std_id all = 0;
  for (uint32_t i = 0; i < 64; ++i) {
    v4l2_standard s{};
    s.index = i;
    if (Xioctl(VIDIOC_ENUMSTD, &s) != 0) break;
    all |= s.id;
  }
  if (all == 0) return kFail;
  *mask = StandardFromV4l2(all);
  return kOk;
}

Status V4l2Card::GetStandard(long* standard) {
  if (standard == nullptr) return kInvalidArg;
  v4l2_std_id id = 0;
  if (Xioctl(VIDIOC_G_STD, &id) != 0) return kFail;
  *standard = StandardFromV4l2(id);
  return kOk;
}

// Most drivers refuse a new standard or input while they stream (EBUSY):
// then the stream is stopped, the call made and the stream started again.
bool V4l2Card::SetWhileStreaming(unsigned long request, const std::function<void(void*)>& fill) {
  union {
    v4l2_std_id std;
    int input;
  } arg{};
  fill(&arg);
  if (Xioctl(request, &arg) == 0) return true;
  if (errno != EBUSY) return false;
  return WhileStopped([&] {
    fill(&arg);
    return Xioctl(request, &arg) == 0;
  });
}

Status V4l2Card::SetStandard(long standard) {
  const v4l2_std_id id = StandardToV4l2(standard);
  if (id == 0) return kFail;
  return SetWhileStreaming(VIDIOC_S_STD, [id](void* a) { *static_cast<v4l2_std_id*>(a) = id; }) ? kOk : kFail;
}

Status V4l2Card::GetHorizontalLocked(long* locked) {
  if (locked == nullptr) return kInvalidArg;
  int index = 0;
  if (Xioctl(VIDIOC_G_INPUT, &index) != 0) return kFail;
  v4l2_input in{};
  in.index = uint32_t(index);
  if (Xioctl(VIDIOC_ENUMINPUT, &in) != 0) return kFail;
  *locked = (in.status & (V4L2_IN_ST_NO_H_LOCK | V4L2_IN_ST_NO_SIGNAL)) ? 0 : 1;
  return kOk;
}

bool V4l2Card::QueryControl(ProcAmp p, v4l2_queryctrl* q) {
  const int i = static_cast<int>(p);
  if (i < 0 || i >= static_cast<int>(ProcAmp::Count) || kProcAmpCid[i] == 0) return false;
  *q = {};
  q->id = kProcAmpCid[i];
  return Xioctl(VIDIOC_QUERYCTRL, q) == 0 && !(q->flags & V4L2_CTRL_FLAG_DISABLED) &&
         q->maximum > q->minimum;
}

Status V4l2Card::GetPropertyRange(ProcAmp p, PropertyRange* range) {
  if (range == nullptr) return kInvalidArg;
  v4l2_queryctrl q;
  if (!QueryControl(p, &q)) return kNotImpl;
  *range = {0, kScaleMax, 1, ToScale(q.default_value, q), kProcAmpFlagManual};
  return kOk;
}

Status V4l2Card::GetProperty(ProcAmp p, long* value, long* flags) {
  if (value == nullptr || flags == nullptr) return kInvalidArg;
  v4l2_queryctrl q;
  if (!QueryControl(p, &q)) return kNotImpl;
  v4l2_control c{q.id, 0};
  if (Xioctl(VIDIOC_G_CTRL, &c) != 0) return kFail;
  *value = ToScale(c.value, q);
  *flags = kProcAmpFlagManual;
  return kOk;
}

Status V4l2Card::SetProperty(ProcAmp p, long value, long) {
  v4l2_queryctrl q;
  if (!QueryControl(p, &q)) return kNotImpl;
  if (value < 0 || value > kScaleMax) return kInvalidArg;
  v4l2_control c{q.id, int32_t(FromScale(value, q))};
  return Xioctl(VIDIOC_S_CTRL, &c) == 0 ? kOk : kFail;
}

std::string V4l2Card::InputName(int input) const {
  return (input >= 0 && input < InputCount()) ? inputs_[size_t(input)] : "";
}

Status V4l2Card::Route(int input, int output) {
  if (output != 0 || input < 0 || input >= InputCount()) return kInvalidArg;
  if (!SetWhileStreaming(VIDIOC_S_INPUT, [input](void* a) { *static_cast<int*>(a) = input; })) return kFail;
  // The tuner messages go to the tuner of the input chosen last.
  if (tuners_[size_t(input)] >= 0) tunerIndex_ = uint32_t(tuners_[size_t(input)]);
  return kOk;
}

Status V4l2Card::RoutedInput(int output, int* input) {
  if (output != 0 || input == nullptr) return kInvalidArg;
  int index = 0;
  if (Xioctl(VIDIOC_G_INPUT, &index) != 0) return kFail;
  *input = index;
  return kOk;
}

bool V4l2Card::HasPropertyPage(int page) const {
  // Controls, both stream formats, inputs (when there is a choice) and the tuner.
  if (page == 0 || page == 1 || page == 2) return true;
  if (page == 3) return inputs_.size() > 1;
  if (page == 8) return tunerInput_ >= 0;
  return false;
}

}  // namespace strova::card
