// The capture library on the simulated V4L2 card, through v4l2src's real
// streaming path: listing, preview and stills, tuning and a scan, a
// recording checked by ffprobe, standard changes while streaming, and an
// unplug while previewing and while recording. The process runs with the
// simulation preloaded: /dev/video0..3 are bttv, saa7134, em28xx, stk1160.
#include "SimTestUtil.h"
#include "V4l2Sim.h"

#include "platform/Registry.h"
#include "platform/Window.h"
#include "strova/Strova.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

using tellura::test::ScopedHome;

namespace {

using v4l2sim_test::WaitFor;

constexpr unsigned kNotifyMessage = 0x5832;
constexpr uint32_t kDeviceGone = 0x8007048Fu;
constexpr int kStationsKHz[] = {55250, 189250, 210250, 487250, 583250, 743250};

bool Simulated() { return v4l2sim::CommandEntry() != nullptr; }

void Command(int node, const char* words) {
  auto entry = v4l2sim::CommandEntry();
  ASSERT_NE(entry, nullptr);
  ASSERT_EQ(entry(node, words), 0) << words;
}

void SetValue(const char* name, int value) {
  plat::HKEY key = nullptr;
  ASSERT_EQ(plat::RegCreateKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Quorvel\\Tellura", &key), plat::ERROR_SUCCESS);
  const uint32_t v = static_cast<uint32_t>(value);
  plat::RegSetValueExA(key, name, plat::REG_DWORD, reinterpret_cast<const uint8_t*>(&v), sizeof v);
  plat::RegCloseKey(key);
}

// Collects the notifications posted for a card (code and parameter).
class NotifyWindow {
 public:
  explicit NotifyWindow(int card) : card_(card), hwnd_(plat::CreateWindowHandle(nullptr)) {
    plat::SetMessageSink(
        hwnd_,
        [this](plat::UINT msg, plat::WPARAM wp, plat::LPARAM lp) -> plat::LRESULT {
          std::lock_guard lock(mutex_);
          if (msg == kNotifyMessage) got_.push_back({unsigned(lp & 0xFFFF), uint32_t(wp)});
          return 0;
        },
        nullptr);
    Strova_SetNotifyWindow(card, hwnd_, kNotifyMessage);
  }
  ~NotifyWindow() {
    Strova_SetNotifyWindow(card_, nullptr, 0);
    plat::DestroyWindowHandle(hwnd_);
  }
  // Waits for code; the parameter of its first posting, or -1 on time-out.
  int64_t Wait(unsigned code, int timeoutMs) {
    int64_t param = -1;
    WaitFor(
        [&] {
          Strova_ManageNotifyMessage(card_);
          std::lock_guard lock(mutex_);
          for (const auto& g : got_)
            if (g.first == code) return (param = g.second), true;
          return false;
        },
        timeoutMs);
    return param;
  }

 private:
  int card_;
  plat::HWND hwnd_;
  std::mutex mutex_;
  std::vector<std::pair<unsigned, uint32_t>> got_;
};

struct Kind {
  const char* name;
  int node;          // /dev/videoN
  const char* card;  // the name the library lists
};

const Kind kKinds[] = {{"bttv", 0, "BT878 video (simulated)"},
                       {"saa7134", 1, "SAA7134 TV card (simulated)"},
                       {"em28xx", 2, "EM28xx USB TV stick (simulated)"},
                       {"stk1160", 3, "STK1160 grabber (simulated)"}};

class SimCard : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    if (!Simulated()) GTEST_SKIP() << "runs with the simulation preloaded";
    unsetenv("DISPLAY");  // headless renderer
    ASSERT_EQ(Strova_Initialize(), S_OK);
    card_ = GetParam().node;  // V4L2 nodes are listed first, in node order
  }
  void TearDown() override {
    if (Simulated()) Strova_Uninitialize();
  }
  void Connect() {
    ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
    int state = -1;
    ASSERT_TRUE(WaitFor([&] { return Strova_GetStreamStatus(card_, &state) == S_OK && state == STROVA_STATE_RUNNING; },
                        20000));
  }
  int Capturing() {
    int on = -1;
    Strova_IsCapturing(card_, &on);
    return on;
  }
  // A still's size in bytes (0: none written).
  uintmax_t Still(const std::string& path) {
    if (Strova_SaveToBmpFile(card_, path.c_str()) != 1) return 0;
    std::error_code ec;
    const auto n = std::filesystem::file_size(path, ec);
    return ec ? 0 : n;
  }
  bool HasTuner() const { return std::strcmp(GetParam().name, "stk1160") != 0; }

  ScopedHome home_;
  int card_ = -1;
};

TEST_P(SimCard, IsListedUnderItsNameBeforeTheVirtualCard) {
  int count = 0;
  ASSERT_EQ(Strova_GetCardNumber(&count), S_OK);
  EXPECT_EQ(count, 5);
  std::vector<char> names(32 * STROVA_NAME_LEN, '\0');
  int n = 0;
  ASSERT_GE(Strova_EnumVideoCaptureDev(names.data(), &n), 0);
  EXPECT_STREQ(names.data() + card_ * STROVA_NAME_LEN, GetParam().card);
}

TEST_P(SimCard, PreviewsAndTakesAStill) {
  Connect();
  VideoInfo info{};
  ASSERT_TRUE(WaitFor([&] { return Strova_GetVideoInfo(card_, &info, STROVA_PIN_PREVIEW) == S_OK && info.bmi.width > 0; },
                      10000));
  const std::string still = home_.path("still.bmp");
  uintmax_t size = 0;
  ASSERT_TRUE(WaitFor([&] { return (size = Still(still)) > 0; }, 10000));
  EXPECT_GT(size, 50000u) << "a picture, not an empty file";
}

// The tuner finds every station of the air and nothing between them.
TEST_P(SimCard, ScanFindsTheStationsAndNothingBetween) {
  if (!HasTuner()) GTEST_SKIP() << "no tuner";
  Connect();
  for (int kHz : kStationsKHz) EXPECT_NE(GetTvChannelOkay(0, kHz), 0) << kHz;
  for (int kHz : {100000, 300000, 530000}) EXPECT_EQ(GetTvChannelOkay(0, kHz), 0) << kHz;
  EXPECT_EQ(SetTvChannelFreg(0, kStationsKHz[2]), 1);
  int32_t locked = -1;
  EXPECT_EQ(Strova_IsVideoSignalLocked(card_, &locked), S_OK);
  EXPECT_EQ(locked, 1);
}

// A standard or input change while streaming: drivers that say EBUSY get
// the stream stopped around the call, and the picture comes back.
TEST_P(SimCard, ChangesStandardAndInputWhileStreaming) {
  Connect();
  int32_t current = 0, available = 0;
  ASSERT_EQ(Strova_GetVideoStandard(card_, &current, &available), S_OK);
  const int32_t ntsc = 1;  // NTSC-M
  ASSERT_NE(available & ntsc, 0);
  EXPECT_EQ(Strova_SetVideoStandard(card_, ntsc), S_OK);
  EXPECT_EQ(Strova_GetVideoStandard(card_, &current, &available), S_OK);
  EXPECT_EQ(current, ntsc);
  EXPECT_EQ(Strova_RouteInPinToOutPin(card_, 1, 0), S_OK);
  int32_t input = -1;
  EXPECT_EQ(Strova_WhatInPinRouteToOutPin(card_, 0, &input), S_OK);
  EXPECT_EQ(input, 1);
  uintmax_t size = 0;
  EXPECT_TRUE(WaitFor([&] { return (size = Still(home_.path("after.bmp"))) > 0; }, 15000)) << "the picture is back";
}

TEST_P(SimCard, RecordsAnMpegFileFfprobeReads) {
  Connect();
  SetValue("CaptureMode", 1);  // VCD
  SetValue("mpgmode", 1);
  int sound = 0;
  Strova_SetCaptureAudio(card_, &sound);
  const std::string path = home_.path("clip.mpg");
  Strova_SetCaptureFile(card_, path.c_str());
  ASSERT_EQ(Strova_StartCapture(card_), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  EXPECT_EQ(Strova_StopCapture(card_), 1);
  const std::string probe = v4l2sim_test::Probe(path);
  EXPECT_NE(probe.find("codec_name=mpeg1video|width=352|height=288|r_frame_rate=25/1"), std::string::npos) << probe;
  const auto at = probe.find("duration=");
  ASSERT_NE(at, std::string::npos) << probe;
  EXPECT_GT(std::atof(probe.c_str() + at + 9), 1.0) << probe;
}

TEST_P(SimCard, UnplugWhilePreviewingIsReportedAsDeviceGone) {
  Connect();
  NotifyWindow notify(card_);
  Command(GetParam().node, "unplug");
  EXPECT_EQ(notify.Wait(NOTIFY_ABORTED, 20000), int64_t{kDeviceGone});
}

TEST_P(SimCard, UnplugWhileRecordingLeavesAPlayableFile) {
  Connect();
  SetValue("CaptureMode", 1);
  SetValue("mpgmode", 1);
  int sound = 0;
  Strova_SetCaptureAudio(card_, &sound);
  const std::string path = home_.path("cut.mpg");
  Strova_SetCaptureFile(card_, path.c_str());
  NotifyWindow notify(card_);
  ASSERT_EQ(Strova_StartCapture(card_), 1);
  // Unplugged once the file holds pictures: those must stay readable.
  std::error_code ec;
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::file_size(path, ec) > 64 * 1024 && !ec; }, 20000));
  Command(GetParam().node, "unplug");
  EXPECT_EQ(notify.Wait(NOTIFY_ABORTED, 20000), int64_t{kDeviceGone});
  Strova_StopCapture(card_);  // what the viewer does on the notification
  EXPECT_EQ(Capturing(), 0);
  const std::string probe = v4l2sim_test::Probe(path);
  EXPECT_NE(probe.find("codec_name=mpeg1video"), std::string::npos) << probe;
}

INSTANTIATE_TEST_SUITE_P(Personalities, SimCard, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// Every recording format from a real card's path (the bttv), as the virtual
// card's recordings are checked.
struct Format {
  const char* name;
  int captureMode, mpgMode;
  const char* file;
  const char* video;  // the start of ffprobe's line for the picture
};

// The library on the simulated card, without a display, in a private home.
template <class Param>
class SimLibrary : public ::testing::TestWithParam<Param> {
 protected:
  void SetUp() override {
    if (!Simulated()) GTEST_SKIP() << "runs with the simulation preloaded";
    unsetenv("DISPLAY");
    ASSERT_EQ(Strova_Initialize(), S_OK);
  }
  void TearDown() override {
    if (Simulated()) Strova_Uninitialize();
  }
  ScopedHome home_;
};

class SimRecording : public SimLibrary<Format> {};

TEST_P(SimRecording, WritesTheStreamItsSettingsName) {
  const Format& f = GetParam();
  ASSERT_EQ(Strova_ConnectDevice(0, 0, nullptr), S_OK);
  SetValue("CaptureMode", f.captureMode);
  SetValue("mpgmode", f.mpgMode);
  SetValue("vid_standard", 16);
  SetValue("bitstream", 4000);
  int sound = 0;
  Strova_SetCaptureAudio(0, &sound);
  const std::string path = home_.path(f.file);
  Strova_SetCaptureFile(0, path.c_str());
  ASSERT_EQ(Strova_StartCapture(0), 1);
  std::error_code ec;
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::file_size(path, ec) > 64 * 1024 && !ec; }, 20000));
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_EQ(Strova_StopCapture(0), 1);
  const std::string probe = v4l2sim_test::Probe(path);
  EXPECT_NE(probe.find(f.video), std::string::npos) << probe;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SimRecording,
    ::testing::Values(Format{"Vcd", 1, 1, "vcd.mpg", "codec_name=mpeg1video|width=352|height=288|r_frame_rate=25/1"},
                      Format{"Dvd", 2, 0, "dvd.mpg", "codec_name=mpeg2video|width=720|height=576|r_frame_rate=25/1"},
                      Format{"CustomMpeg1", 0, 0, "custom1.mpg", "codec_name=mpeg1video|width=352|height=288"},
                      Format{"CustomFullWidth", 0, 1, "custom2.mpg", "codec_name=mpeg2video|width=720|height=576"},
                      Format{"Avi", 3, 0, "clip.avi", "codec_name=rawvideo|width=320|height=240"}),
    [](const auto& info) { return std::string(info.param.name); });

// A card answering nonsense: refused with a failure, or its stream aborted
// with a notification; never a crash, never a picture from garbage.
class SimNonsense : public SimLibrary<const char*> {};

TEST_P(SimNonsense, IsRefusedOrAbortedWithoutACrash) {
  Command(0, GetParam());
  NotifyWindow notify(0);
  const STROVA_STATUS st = Strova_ConnectDevice(0, 0, nullptr);
  if (st == S_OK) {
    NotifyWindow after(0);  // the graph exists now: its events reach this window
    EXPECT_GE(after.Wait(NOTIFY_ABORTED, 20000), 0) << "a stream of nonsense must not run";
  }
  Strova_DisconnectDevice(0);
}

INSTANTIATE_TEST_SUITE_P(Answers, SimNonsense, ::testing::Values("zerosize", "badlength", "badfield"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace

namespace {

// A card that stops delivering while it records (a stalled DQBUF): the
// library reports it within a bounded time, and the stop completes the
// file instead of waiting for a frame that never comes.
class SimStall : public SimLibrary<int> {};

TEST_P(SimStall, IsReportedAndTheStopDoesNotHang) {
  const int node = GetParam();
  ASSERT_EQ(Strova_ConnectDevice(node, 0, nullptr), S_OK);
  SetValue("CaptureMode", 1);
  SetValue("mpgmode", 1);
  int sound = 0;
  Strova_SetCaptureAudio(node, &sound);
  const std::string path = home_.path("stalled.mpg");
  Strova_SetCaptureFile(node, path.c_str());
  NotifyWindow notify(node);
  ASSERT_EQ(Strova_StartCapture(node), 1);
  std::error_code ec;
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::file_size(path, ec) > 64 * 1024 && !ec; }, 20000));
  Command(node, "stall");
  using Clock = std::chrono::steady_clock;
  const auto stalled = Clock::now();
  EXPECT_GE(notify.Wait(NOTIFY_ABORTED, 20000), 0) << "the stall is reported";
  EXPECT_LT(Clock::now() - stalled, std::chrono::seconds(12));
  const auto stopping = Clock::now();
  EXPECT_EQ(Strova_StopCapture(node), 1);
  EXPECT_LT(Clock::now() - stopping, std::chrono::seconds(10)) << "the stop waits for the file's end at most";
  EXPECT_NE(v4l2sim_test::Probe(path).find("codec_name=mpeg1video"), std::string::npos);
  Command(node, "resume");
  EXPECT_EQ(Strova_DisconnectDevice(node), S_OK);
}

// The card's own sound (the simulation's ALSA device, no sound card needed)
// reaches the recording beside the picture: both tracks start together and
// last as long.
class SimSound : public SimLibrary<int> {};

double Field(const std::string& probe, const std::string& line, const char* name) {
  const auto row = probe.find(line);
  const auto at = row == std::string::npos ? row : probe.find(name, row);
  return at == std::string::npos ? -1 : std::atof(probe.c_str() + at + std::strlen(name));
}

TEST_P(SimSound, RecordingCarriesTheCardsSoundInStep) {
  const int node = GetParam();
  ASSERT_EQ(Strova_ConnectDevice(node, 0, nullptr), S_OK);
  SetValue("CaptureMode", 1);
  SetValue("mpgmode", 1);
  int sound = 1;
  ASSERT_EQ(Strova_SetCaptureAudio(node, &sound), 1) << "the card's sound is an input";
  const std::string path = home_.path("sound.mpg");
  Strova_SetCaptureFile(node, path.c_str());
  ASSERT_EQ(Strova_StartCapture(node), 1);
  std::error_code ec;
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::file_size(path, ec) > 64 * 1024 && !ec; }, 20000));
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  EXPECT_EQ(Strova_StopCapture(node), 1);
  const std::string probe =
      v4l2sim_test::Shell("ffprobe -v error -show_entries stream=codec_type,start_time,duration -of compact=p=0 '" +
                          path + "'").output;
  const double videoStart = Field(probe, "codec_type=video", "start_time="),
               audioStart = Field(probe, "codec_type=audio", "start_time=");
  const double videoLength = Field(probe, "codec_type=video", "duration="),
               audioLength = Field(probe, "codec_type=audio", "duration=");
  ASSERT_GE(audioStart, 0) << probe;
  EXPECT_NEAR(audioStart, videoStart, 0.2) << probe;
  EXPECT_GT(videoLength, 1.5) << probe;
  EXPECT_NEAR(audioLength, videoLength, 0.3) << probe;
}

INSTANTIATE_TEST_SUITE_P(Cards, SimSound, ::testing::Values(1), [](const auto&) { return std::string("saa7134"); });

INSTANTIATE_TEST_SUITE_P(Cards, SimStall, ::testing::Values(0), [](const auto&) { return std::string("bttv"); });

}  // namespace
