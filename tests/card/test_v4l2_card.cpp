// The V4L2 card against a fake device: tuner units, status byte, sound
// switch, remote scancodes, standards, scaled controls and inputs.
#include "strova/card/CardControl.h"
#include "strova/card/Tuner.h"
#include "strova/card/V4l2Card.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <linux/input.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

namespace sc = strova::card;

namespace {

class FakeIo : public sc::V4l2Io {
 public:
  static constexpr int kVideoFd = 3, kRemoteFd = 4;
  uint32_t tunerCap = V4L2_TUNER_CAP_NORM;
  uint32_t frequency = 0;
  int signal = 0, afc = 0;
  v4l2_std_id std = V4L2_STD_PAL_B;
  int input = 0;
  uint32_t inputStatus = 0;
  int audio = -1;
  std::map<uint32_t, int> ctrls{{V4L2_CID_BRIGHTNESS, 128}, {V4L2_CID_AUDIO_MUTE, 0}};
  std::vector<input_event> events;
  bool captureCapable = true;
  // Driver behaviours: a standard or input set while streaming fails with
  // busyErrno; the tuner sits at tunerIndex (other indexes are refused).
  bool streaming = false;
  int busyErrno = EBUSY;
  uint32_t tunerIndex = 0;
  // The format G_FMT reports (none: G_FMT unanswered) and the field TRY_FMT offers.
  bool hasFormat = false;
  v4l2_pix_format format{};
  uint32_t offeredField = V4L2_FIELD_INTERLACED;

  int Open(const char* path, int) override {
    return std::strcmp(path, "/dev/video7") == 0 ? kVideoFd
           : std::strcmp(path, "/dev/input/event9") == 0 ? kRemoteFd : (errno = ENOENT, -1);
  }
  int Close(int) override { return 0; }
  int Poll(int fd, int) override { return fd == kRemoteFd && !events.empty() ? 1 : 0; }
  ssize_t Read(int fd, void* buf, size_t len) override {
    if (fd != kRemoteFd || events.empty()) return (errno = EAGAIN, -1);
    const size_t n = std::min(len / sizeof(input_event), events.size());
    std::memcpy(buf, events.data(), n * sizeof(input_event));
    events.erase(events.begin(), events.begin() + long(n));
    return ssize_t(n * sizeof(input_event));
  }
  int Ioctl(int fd, unsigned long req, void* arg) override {
    if (fd != kVideoFd) return (errno = EBADF, -1);
    switch (req) {
      case VIDIOC_QUERYCAP: {
        auto* c = static_cast<v4l2_capability*>(arg);
        *c = {};
        c->capabilities = V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE;
        c->device_caps = captureCapable ? V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_TUNER : 0;
        return 0;
      }
      case VIDIOC_G_TUNER: {
        auto* t = static_cast<v4l2_tuner*>(arg);
        if (t->index != tunerIndex) return (errno = EINVAL, -1);
        t->capability = tunerCap;
        t->signal = signal;
        t->afc = afc;
        return 0;
      }
      case VIDIOC_S_FREQUENCY: {
        auto* f = static_cast<v4l2_frequency*>(arg);
        if (f->tuner != tunerIndex) return (errno = EINVAL, -1);
        frequency = f->frequency;
        return 0;
      }
      case VIDIOC_ENUMINPUT: {
        auto* in = static_cast<v4l2_input*>(arg);
        static const char* kNames[] = {"Television", "Composite1", "S-Video"};
        if (in->index >= 3) return (errno = EINVAL, -1);
        std::snprintf(reinterpret_cast<char*>(in->name), sizeof in->name, "%s", kNames[in->index]);
        in->type = in->index == 0 ? V4L2_INPUT_TYPE_TUNER : V4L2_INPUT_TYPE_CAMERA;
        in->tuner = in->index == 0 ? tunerIndex : 0;
        in->status = int(in->index) == input ? inputStatus : 0;
        return 0;
      }
      case VIDIOC_G_INPUT: *static_cast<int*>(arg) = input; return 0;
      case VIDIOC_S_INPUT:
        if (streaming) return (errno = busyErrno, -1);
        input = *static_cast<int*>(arg);
        return 0;
      case VIDIOC_S_AUDIO: audio = int(static_cast<v4l2_audio*>(arg)->index); return 0;
      case VIDIOC_G_STD: *static_cast<v4l2_std_id*>(arg) = std; return 0;
      case VIDIOC_S_STD:
        if (streaming) return (errno = busyErrno, -1);
        std = *static_cast<v4l2_std_id*>(arg);
        return 0;
      case VIDIOC_ENUMSTD: {
        auto* s = static_cast<v4l2_standard*>(arg);
        if (s->index >= 2) return (errno = EINVAL, -1);
        s->id = s->index == 0 ? V4L2_STD_PAL_BG : V4L2_STD_NTSC_M;
        return 0;
      }
      case VIDIOC_QUERYCTRL: {
        auto* q = static_cast<v4l2_queryctrl*>(arg);
        if (q->id != V4L2_CID_BRIGHTNESS) return (errno = EINVAL, -1);
        q->minimum = 0; q->maximum = 255; q->step = 1; q->default_value = 128;
        return 0;
      }
      case VIDIOC_G_CTRL: {
        auto* c = static_cast<v4l2_control*>(arg);
        c->value = ctrls[c->id];
        return 0;
      }
      case VIDIOC_S_CTRL: {
        auto* c = static_cast<v4l2_control*>(arg);
        ctrls[c->id] = c->value;
        return 0;
      }
      case VIDIOC_G_FMT:
      case VIDIOC_TRY_FMT: {
        if (!hasFormat) return (errno = ENOTTY, -1);
        auto* f = static_cast<v4l2_format*>(arg);
        f->fmt.pix = format;
        if (req == VIDIOC_TRY_FMT) f->fmt.pix.field = offeredField;
        return 0;
      }
      default: return (errno = ENOTTY, -1);
    }
  }
};

struct V4l2CardTest : ::testing::Test {
  tellura::test::ScopedHome home;  // the keymap file lives in the private config folder
  std::shared_ptr<FakeIo> io = std::make_shared<FakeIo>();
  std::unique_ptr<sc::V4l2Card> card =
      sc::V4l2Card::Open({"Fake TV", "/dev/video7", false, "pci:0"}, io, "/dev/input/event9");
  void Tune(int kHz) {
    sc::TunerMessage m{};
    ASSERT_TRUE(sc::BuildTunerMessage(kHz, m));
    ASSERT_EQ(card->WriteBus(m.data(), 5), sc::kOk);
  }
  uint8_t Status() {
    uint8_t b = sc::kTunerAddress;
    EXPECT_EQ(card->ReadBus(&b, 1), sc::kOk);
    return b;
  }
};

}  // namespace

TEST_F(V4l2CardTest, OpenRequiresACaptureNode) {
  ASSERT_NE(card, nullptr);
  EXPECT_EQ(sc::V4l2Card::Open({"x", "/dev/video0", false, ""}, io), nullptr);
  io->captureCapable = false;
  EXPECT_EQ(sc::V4l2Card::Open({"x", "/dev/video7", false, ""}, io), nullptr);
}

// A device whose format no picture can come from is refused, and says why.
TEST_F(V4l2CardTest, OpenRefusesANonsenseFormat) {
  io->hasFormat = true;
  const v4l2_pix_format sane{720, 576, V4L2_PIX_FMT_YUYV, V4L2_FIELD_INTERLACED, 1440, 1440 * 576, 0, 0, 0, 0, 0, 0};
  struct Case {
    const char* what;
    void (*spoil)(FakeIo&);
  };
  const Case cases[] = {
      {"0 x 0", [](FakeIo& f) { f.format.width = f.format.height = 0; }},
      {"lines shorter", [](FakeIo& f) { f.format.bytesperline = 720; }},
      {"image smaller", [](FakeIo& f) { f.format.sizeimage = 1440; }},
      {"no picture has", [](FakeIo& f) { f.format.field = V4L2_FIELD_SEQ_BT; }},
      {"but offers", [](FakeIo& f) { f.offeredField = V4L2_FIELD_NONE; }},
  };
  for (const Case& c : cases) {
    io->format = sane;
    io->offeredField = V4L2_FIELD_INTERLACED;
    c.spoil(*io);
    std::string why;
    EXPECT_EQ(sc::V4l2Card::Open({"x", "/dev/video7", false, ""}, io, {}, {}, &why), nullptr) << c.what;
    EXPECT_NE(why.find(c.what), std::string::npos) << why;
  }
  io->format = sane;
  io->offeredField = V4L2_FIELD_INTERLACED;
  EXPECT_NE(sc::V4l2Card::Open({"x", "/dev/video7", false, ""}, io), nullptr);
}

TEST_F(V4l2CardTest, SourcesStreamFromTheCardsOwnDevices) {
  gst_init(nullptr, nullptr);
  GstElement* v = card->CreateVideoSource();
  ASSERT_NE(v, nullptr);
  // The capture element, inside the bin that watches it for a stall.
  GstElement* capture = v;
  if (GST_IS_BIN(v)) {
    GstIterator* it = gst_bin_iterate_sources(GST_BIN(v));
    GValue item = G_VALUE_INIT;
    ASSERT_EQ(gst_iterator_next(it, &item), GST_ITERATOR_OK);
    capture = GST_ELEMENT(g_value_get_object(&item));
    g_value_unset(&item);  // the bin keeps its child
    gst_iterator_free(it);
  }
  gchar* dev = nullptr;
  g_object_get(capture, "device", &dev, nullptr);
  EXPECT_STREQ(dev, "/dev/video7");
  g_free(dev);
  gst_object_unref(gst_object_ref_sink(v));
  EXPECT_EQ(card->CreateAudioSource(), nullptr);  // no ALSA device of its own
  auto withSound = sc::V4l2Card::Open({"Fake TV", "/dev/video7", false, ""}, io, "", "hw:3");
  GstElement* a = withSound->CreateAudioSource();
  ASSERT_NE(a, nullptr);
  g_object_get(a, "device", &dev, nullptr);
  EXPECT_STREQ(dev, "hw:3");
  g_free(dev);
  gst_object_unref(gst_object_ref_sink(a));
}

TEST_F(V4l2CardTest, FrequencyInTunerUnits) {
  Tune(189250);  // divider (189250+38900)*16/1000 = 3650 -> 189225 kHz
  EXPECT_EQ(io->frequency, 3028u);  // 62.5 kHz units
  io->tunerCap = V4L2_TUNER_CAP_LOW;
  Tune(189250);
  EXPECT_EQ(io->frequency, 189225u * 16);  // 62.5 Hz units
}

TEST_F(V4l2CardTest, SignalAndAfcGiveTheStatusByte) {
  io->signal = 0xFFFF;
  io->afc = 0;
  EXPECT_EQ(Status(), 0x42);
  io->afc = 5;
  EXPECT_EQ(Status(), 0x41);
  io->afc = -5;
  EXPECT_EQ(Status(), 0x43);
  io->signal = 0x100;
  EXPECT_EQ(Status(), 0x00);
}

TEST_F(V4l2CardTest, SoundBitsSelectAudioInputAndMute) {
  card->WriteControlWord(sc::kNoKey | sc::kSoundMute);
  EXPECT_EQ(io->ctrls[V4L2_CID_AUDIO_MUTE], 1);
  card->WriteControlWord(sc::kNoKey | sc::kSoundLine);
  EXPECT_EQ(io->ctrls[V4L2_CID_AUDIO_MUTE], 0);
  EXPECT_EQ(io->audio, 1);
  card->WriteControlWord(sc::kNoKey | sc::kSoundTuner);
  EXPECT_EQ(io->audio, 0);
}

// Scancodes become the keys the keymap names; the default keymap is written
// for the user to edit, and an edited one is used by the next card.
TEST_F(V4l2CardTest, ScancodesBecomeKeysThroughTheKeymap) {
  input_event key{}, sync{}, scan{}, unknown{};
  key.type = EV_KEY;
  key.code = KEY_VOLUMEUP;
  scan.type = unknown.type = EV_MSC;
  scan.code = unknown.code = MSC_SCAN;
  scan.value = 0x1e10;      // RC5 volume up
  unknown.value = 0x800090;  // in no keymap
  io->events = {unknown, scan, key, sync};
  uint32_t w = 0;
  ASSERT_EQ(card->ReadControlWord(&w), sc::kOk);
  EXPECT_EQ(w & sc::kKeyMask, 176u);
  card->WriteControlWord(w | sc::kKeyMask);
  card->ReadControlWord(&w);
  EXPECT_EQ(w & sc::kKeyMask, sc::kNoKey) << "the unknown scancode gave no key";

  const std::string text = tellura::test::ReadFile(sc::RemoteKeymap::UserPath());
  EXPECT_NE(text.find("0x1e10 vol-up"), std::string::npos) << text;
  ASSERT_TRUE(tellura::test::WriteFile(sc::RemoteKeymap::UserPath(), "0x800090 snapshot\n"));
  card = sc::V4l2Card::Open({"Fake TV", "/dev/video7", false, "pci:0"}, io, "/dev/input/event9");
  io->events = {unknown, sync};
  card->ReadControlWord(&w);
  EXPECT_EQ(w & sc::kKeyMask, 160u);
}

TEST(RemoteKeymap, GarbageLinesAreSkippedAndCounted) {
  int skipped = -1;
  const auto map = sc::RemoteKeymap::Parse(
      "# comment\n\n0x1234 snapshot  # trailing\ngarbage\n0x12\n0xZZ 1\n-5 1\n0x1 1 extra\n"
      "0x2 no-such-key\n77 0x1FE\n0x3 0x1FF\n",
      &skipped);
  EXPECT_EQ(map.Size(), 2u);
  EXPECT_EQ(skipped, 7);
  EXPECT_EQ(map.Find(0x1234), 160);
  EXPECT_EQ(map.Find(77), 0x1FE);
  EXPECT_FALSE(map.Find(0x3)) << "0x1FF means no key";
}

TEST_F(V4l2CardTest, StandardsMapToV4l2Ids) {
  long mask = 0, cur = 0;
  ASSERT_EQ(card->GetAvailableStandards(&mask), sc::kOk);
  EXPECT_EQ(mask, sc::kStdPalB | sc::kStdPalG | sc::kStdNtscM);
  ASSERT_EQ(card->SetStandard(sc::kStdPalD), sc::kOk);
  EXPECT_EQ(io->std, V4L2_STD_PAL_D);
  ASSERT_EQ(card->GetStandard(&cur), sc::kOk);
  EXPECT_EQ(cur, sc::kStdPalD);
  EXPECT_EQ(card->SetStandard(0x40000000), sc::kFail);
  EXPECT_EQ(card->SetStandard(sc::kStdPalB | sc::kStdPalD), sc::kFail);
}

TEST_F(V4l2CardTest, ControlsScaleToTheControlsRange) {
  sc::PropertyRange r;
  ASSERT_EQ(card->GetPropertyRange(sc::ProcAmp::Brightness, &r), sc::kOk);
  EXPECT_EQ(r.max, 10000);
  EXPECT_EQ(r.def, 5020);  // 128 of 0..255
  ASSERT_EQ(card->SetProperty(sc::ProcAmp::Brightness, 10000, 2), sc::kOk);
  EXPECT_EQ(io->ctrls[V4L2_CID_BRIGHTNESS], 255);
  ASSERT_EQ(card->SetProperty(sc::ProcAmp::Brightness, 0, 2), sc::kOk);
  EXPECT_EQ(io->ctrls[V4L2_CID_BRIGHTNESS], 0);
  EXPECT_EQ(card->SetProperty(sc::ProcAmp::Brightness, 10001, 2), sc::kInvalidArg);
  EXPECT_EQ(card->GetPropertyRange(sc::ProcAmp::Sharpness, &r), sc::kNotImpl);
}

TEST_F(V4l2CardTest, InputsAndHorizontalLock) {
  EXPECT_EQ(card->InputCount(), 3);
  EXPECT_EQ(card->InputName(2), "S-Video");
  EXPECT_TRUE(card->HasPropertyPage(8));
  EXPECT_EQ(card->Route(2, 0), sc::kOk);
  int in = -1;
  card->RoutedInput(0, &in);
  EXPECT_EQ(in, 2);
  EXPECT_EQ(card->Route(3, 0), sc::kInvalidArg);
  long locked = -1;
  ASSERT_EQ(card->GetHorizontalLocked(&locked), sc::kOk);
  EXPECT_EQ(locked, 1);
  io->inputStatus = V4L2_IN_ST_NO_H_LOCK;
  card->GetHorizontalLocked(&locked);
  EXPECT_EQ(locked, 0);
}

// A driver busy streaming takes the standard and the input once the stream
// is stopped, and the stream is started again; other refusals are failures.
TEST_F(V4l2CardTest, BusyDriverIsSetWithTheStreamStopped) {
  io->streaming = true;
  EXPECT_EQ(card->SetStandard(sc::kStdNtscM), sc::kFail) << "no stream to stop";
  int pauses = 0;
  card->SetStreamPause([&](const std::function<bool()>& op) {
    ++pauses;
    io->streaming = false;
    const bool ok = op();
    io->streaming = true;
    return ok;
  });
  ASSERT_EQ(card->SetStandard(sc::kStdNtscM), sc::kOk);
  EXPECT_EQ(io->std, V4L2_STD_NTSC_M);
  ASSERT_EQ(card->Route(1, 0), sc::kOk);
  EXPECT_EQ(io->input, 1);
  EXPECT_EQ(pauses, 2);
  EXPECT_TRUE(io->streaming) << "streaming again";
  io->busyErrno = ENODEV;
  EXPECT_EQ(card->SetStandard(sc::kStdPalD), sc::kFail);
  EXPECT_EQ(card->Route(2, 0), sc::kFail);
  EXPECT_EQ(pauses, 2) << "only a busy driver is retried";
  io->streaming = false;
  EXPECT_EQ(card->Route(2, 0), sc::kOk);
  EXPECT_EQ(pauses, 2) << "an idle driver is set at once";
}

TEST_F(V4l2CardTest, TunerAtIndexOneGetsTheBusMessages) {
  io->tunerIndex = 1;
  card = sc::V4l2Card::Open({"Fake TV", "/dev/video7", false, "pci:0"}, io);
  ASSERT_NE(card, nullptr);
  Tune(189250);
  EXPECT_EQ(io->frequency, 3028u);
  io->signal = 0xFFFF;
  EXPECT_EQ(Status(), 0x42);
}

// The camera switch is the card's own hardware: a V4L2 card has none.
TEST_F(V4l2CardTest, CameraSwitchIsNotImplemented) {
  uint8_t stored = 4;
  EXPECT_EQ(sc::ChooseCamera(card.get(), 1, 5, &stored), sc::kNotImpl);
  EXPECT_EQ(stored, 4);
}
