// Recordings through the exports from the virtual card: each format written
// while the preview runs and checked by ffprobe, refused starts that leave the
// preview alone, the shared sound switch, and a recording onto a full disk.
#include "../RecordingTestUtil.h"
#include "platform/Registry.h"
#include "platform/Window.h"
#include "strova/Strova.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

using recording_test::Shell;
using tellura::test::ScopedHome;

using recording_test::SetValue;

namespace {

constexpr unsigned kNotifyMessage = 0x5832;

// ffprobe's view of a file: one "key=value|..." line per stream and format.
std::string Probe(const std::string& path) {
  return Shell("ffprobe -v error -show_entries stream=codec_name,width,height,r_frame_rate,sample_rate "
               "-show_entries format=duration -of compact=p=0 '" + path + "' 2>&1");
}

double Duration(const std::string& probe) {
  const auto at = probe.find("duration=");
  return at == std::string::npos ? -1 : std::atof(probe.c_str() + at + 9);
}

// The card's notify window: collects the notification codes posted to it,
// translating graph events as the viewer does.
class NotifyWindow {
 public:
  explicit NotifyWindow(int card) : card_(card), hwnd_(plat::CreateWindowHandle(nullptr)) {
    plat::SetMessageSink(
        hwnd_,
        [this](plat::UINT msg, plat::WPARAM, plat::LPARAM lp) -> plat::LRESULT {
          std::lock_guard lock(mutex_);
          if (msg == kNotifyMessage) codes_.push_back(static_cast<unsigned>(lp & 0xFFFF));
          return 0;
        },
        nullptr);
    Strova_SetNotifyWindow(card, hwnd_, kNotifyMessage);
  }
  ~NotifyWindow() {
    Strova_SetNotifyWindow(card_, nullptr, 0);
    plat::DestroyWindowHandle(hwnd_);
  }
  bool WaitFor(unsigned code, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      Strova_ManageNotifyMessage(card_);
      {
        std::lock_guard lock(mutex_);
        for (unsigned c : codes_)
          if (c == code) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  int card_;
  plat::HWND hwnd_;
  std::mutex mutex_;
  std::vector<unsigned> codes_;
};

class Recording : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");  // headless renderer
    ASSERT_EQ(Strova_Initialize(), S_OK);
    int count = 0;
    Strova_GetCardNumber(&count);
    card_ = count - 1;  // the virtual card is listed last
    // Or the card TELLURA_TEST_CARD names (a simulated V4L2 card).
    if (const char* chosen = std::getenv("TELLURA_TEST_CARD"); chosen && *chosen) card_ = std::atoi(chosen);
    ASSERT_GE(card_, 0);
    ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  }
  void TearDown() override { Strova_Uninitialize(); }

  int Capturing() {
    int on = -1;
    Strova_IsCapturing(card_, &on);
    return on;
  }
  int State() {
    int state = -1;
    Strova_GetStreamStatus(card_, &state);
    return state;
  }
  // Records for ms with sound and returns ffprobe's view of the file.
  std::string Record(const std::string& path, int ms) {
    int sound = 1;
    Strova_SetCaptureAudio(card_, &sound);
    Strova_SetCaptureFile(card_, path.c_str());
    if (Strova_StartCapture(card_) != 1) return "start refused";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Capturing(), 1);
    EXPECT_EQ(State(), STROVA_STATE_RUNNING);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms / 2));
    // The MPEG branch's own preview path carries the still grabber.
    const std::string still = path + ".bmp";
    if (path.substr(path.size() - 4) == ".mpg") {
      // A card's first frames of the recording may take a moment on a loaded machine.
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      const auto stillSize = [&] {
        std::error_code ec;
        const auto n = std::filesystem::file_size(still, ec);
        return ec ? 0 : n;
      };
      // The call answers 1 whether or not a frame was there to save.
      while (Strova_SaveToBmpFile(card_, still.c_str()) >= 0 && stillSize() == 0 &&
             std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      EXPECT_GT(std::filesystem::exists(still) ? std::filesystem::file_size(still) : 0u, 50000u) << "a still while recording";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms - ms / 2));
    // The still can take long on a loaded machine: the file covers the span.
    span_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(Strova_StopCapture(card_), 1);
    EXPECT_EQ(Capturing(), 0);
    EXPECT_EQ(State(), STROVA_STATE_RUNNING) << "the preview runs again";
    int connected = 0;
    Strova_IsConnected(card_, &connected);
    EXPECT_EQ(connected, 1) << "the preview branch is built again";
    return Probe(path);
  }

  ScopedHome home_;
  int card_ = -1;
  double span_ = 0;  // seconds between the last recording's start and stop
};

struct Format {
  const char* name;
  int captureMode;
  int mpgMode;
  const char* file;
  const char* video;  // expected stream line start
  const char* audio;
};

class RecordingFormat : public Recording, public ::testing::WithParamInterface<Format> {};

TEST_P(RecordingFormat, WritesTheStreamItsSettingsName) {
  const Format& f = GetParam();
  SetValue("CaptureMode", f.captureMode);
  SetValue("mpgmode", f.mpgMode);
  SetValue("vid_standard", 16);
  SetValue("bitstream", 4000);
  SetValue("audiorate", 4);
  const std::string probe = Record(home_.path(f.file), 2000);
  EXPECT_NE(probe.find(f.video), std::string::npos) << probe;
  EXPECT_NE(probe.find(f.audio), std::string::npos) << probe;
  EXPECT_NEAR(Duration(probe), span_, 0.5) << probe;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RecordingFormat,
    ::testing::Values(
        Format{"Vcd", 1, 1, "vcd.mpg", "codec_name=mpeg1video|width=352|height=288|r_frame_rate=25/1",
               "codec_name=mp2|sample_rate=44100"},
        Format{"Dvd", 2, 0, "dvd.mpg", "codec_name=mpeg2video|width=720|height=576|r_frame_rate=25/1",
               "codec_name=mp2|sample_rate=48000"},
        Format{"CustomMpeg1", 0, 0, "custom1.mpg", "codec_name=mpeg1video|width=352|height=288|r_frame_rate=25/1",
               "codec_name=mp2|sample_rate=44100"},
        Format{"CustomFullWidth", 0, 1, "custom2.mpg",
               "codec_name=mpeg2video|width=720|height=576|r_frame_rate=25/1", "codec_name=mp2|sample_rate=48000"},
        Format{"Avi", 3, 0, "clip.avi", "codec_name=rawvideo|width=320|height=240", "codec_name=pcm_s16le"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Recording, RefusedStartsWriteNothingAndKeepThePreview) {
  SetValue("CaptureMode", 1);
  Strova_SetCaptureFile(card_, nullptr);
  EXPECT_EQ(Strova_StartCapture(card_), 0) << "no capture file";
  Strova_SetCaptureFile(card_, "a.m");
  EXPECT_EQ(Strova_StartCapture(card_), 0) << "no room for the extension";
  Strova_SetCaptureFile(card_, home_.path("missing/folder/x.mpg").c_str());
  EXPECT_EQ(Strova_StartCapture(card_), 0);
  const std::string locked = home_.path("locked");
  ASSERT_EQ(mkdir(locked.c_str(), 0500), 0);
  Strova_SetCaptureFile(card_, (locked + "/x.mpg").c_str());
  if (access(locked.c_str(), W_OK) != 0) {
    EXPECT_EQ(Strova_StartCapture(card_), 0) << "read-only folder";
  }
  EXPECT_EQ(Capturing(), 0);
  EXPECT_EQ(State(), STROVA_STATE_RUNNING);
  EXPECT_FALSE(std::filesystem::exists(locked + "/x.mpg"));
  EXPECT_EQ(Strova_StopCapture(card_), 0) << "nothing to stop";
  // The card still records after all of that.
  const std::string probe = Record(home_.path("after.mpg"), 1000);
  EXPECT_NE(probe.find("mpeg1video"), std::string::npos) << probe;
}

TEST_F(Recording, OneCardOwnsTheSoundAndKeepsItWhileRecording) {
  int who = -9;
  int enable = 1;
  EXPECT_EQ(Strova_SetCaptureAudio(card_, &enable), 1);
  EXPECT_EQ(enable, 1);
  Strova_WhoIsCapturingAudio(&who);
  EXPECT_EQ(who, card_);
  SetValue("CaptureMode", 1);
  Strova_SetCaptureFile(card_, home_.path("sound.mpg").c_str());
  ASSERT_EQ(Strova_StartCapture(card_), 1);
  EXPECT_EQ(Strova_StartCapture(card_), 1) << "already recording";
  enable = 0;
  EXPECT_EQ(Strova_SetCaptureAudio(card_, &enable), 1) << "refused while recording";
  int on = 0;
  Strova_IsCaptureAudio(card_, &on);
  EXPECT_EQ(on, 1);
  EXPECT_EQ(Strova_SetCaptureAudio(card_ + 1, &enable), 0) << "invalid card";
  EXPECT_EQ(Strova_StopCapture(card_), 1);
  enable = 0;
  EXPECT_EQ(Strova_SetCaptureAudio(card_, &enable), 0);
  Strova_WhoIsCapturingAudio(&who);
  EXPECT_EQ(who, -1);
}

TEST_F(Recording, ConnectingTheRecordingPinBuildsTheBranchAndDumpsIt) {
  SetValue("CaptureMode", 0);
  SetValue("mpgmode", 1);
  Strova_SetCaptureFile(card_, home_.path("pin.mpg").c_str());
  Strova_DisconnectPin(card_, 2);  // the recording's preview path takes the preview's place
  Strova_ConnectPin(card_, 1);
  const std::string dump = tellura::test::ReadFile(std::string(std::getenv("XDG_STATE_HOME")) + "/quorvel/filter01.txt");
  for (const char* name : {"Smart Tee", "Vantrel Down Scale Filter", "Vantrel Multiplexer", "Vantrel MPEG Video Encoder"})
    EXPECT_NE(dump.find(name), std::string::npos) << name << "\n" << dump;
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  // Written before the graph ran, the dump shows the formats the pins carry
  // now that it runs: line for line what a dump of the running graph says.
  const std::string running = home_.path("running.txt");
  Strova_ListAllFilter(card_, running.c_str());
  EXPECT_EQ(dump, tellura::test::ReadFile(running));
  EXPECT_EQ(dump.find("00000000-0000-0000-"), std::string::npos) << "no empty media type\n" << dump;
  EXPECT_NE(dump.find("Pin: 'Video In' (Dir:In , MainType:Video , SubType:YUY2)"), std::string::npos) << dump;
  EXPECT_NE(dump.find("Pin: 'Input1' (Dir:In , MainType:Audio , SubType:00000001-"), std::string::npos) << dump;
  Strova_DisconnectPin(card_, 1);
  EXPECT_EQ(Capturing(), 0);
  const std::string probe = Probe(home_.path("pin.mpg"));
  EXPECT_NE(probe.find("mpeg2video|width=720|height=576"), std::string::npos) << probe;
}

// Each recording's filters are released when it ends (a filter that stays
// holds its bus's two descriptors and its buffers), in both formats. Two
// recordings first, so that connections made once (the sound server's) are
// counted as settled; the last references can go on a streaming thread just
// after the stop returns, so the count is given up to 15 s to come back.
TEST_F(Recording, RecordingsLeaveNoFiltersBehind) {
  const auto openFiles = [] {
    std::vector<std::string> links;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      links.push_back(std::filesystem::read_symlink(fd.path(), ec).string());
    }
    return links;
  };
  for (int mode : {1, 3}) {
    SetValue("CaptureMode", mode);
    const std::string ext = mode == 1 ? ".mpg" : ".avi";
    Record(home_.path("first" + ext), 600);
    Record(home_.path("second" + ext), 600);
    const auto settled = openFiles().size();
    Record(home_.path("third" + ext), 600);
    Record(home_.path("fourth" + ext), 600);
    auto now = openFiles();
    for (int i = 0; i < 150 && now.size() > settled; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      now = openFiles();
    }
    std::string list;
    for (const auto& link : now) list += link + "\n";
    EXPECT_LE(now.size(), settled) << ext << "\n" << list;
  }
}

TEST_F(Recording, DisconnectingWhileRecordingLeavesAFinishedFile) {
  SetValue("CaptureMode", 1);
  const std::string path = home_.path("cut.mpg");
  Strova_SetCaptureFile(card_, path.c_str());
  ASSERT_EQ(Strova_StartCapture(card_), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(Strova_DisconnectDevice(card_), S_OK);
  EXPECT_EQ(Capturing(), 0);
  const std::string probe = Probe(path);
  EXPECT_NE(probe.find("codec_name=mpeg1video"), std::string::npos) << probe;
  EXPECT_NEAR(Duration(probe), 1.5, 0.5) << "the encoders' last frames are written too\n" << probe;
}

TEST_F(Recording, DisconnectingWhileRecordingAviWritesTheIndex) {
  SetValue("CaptureMode", 3);
  const std::string path = home_.path("cut.avi");
  Strova_SetCaptureFile(card_, path.c_str());
  ASSERT_EQ(Strova_StartCapture(card_), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(Strova_DisconnectDevice(card_), S_OK);
  const std::string probe = Probe(path);
  EXPECT_NE(probe.find("codec_name=rawvideo"), std::string::npos) << probe;
  EXPECT_NEAR(Duration(probe), 1.5, 0.5) << "the AVI index and header are written\n" << probe;
}

// Runs in a child process whose folder TELLURA_FULL_DIR is a small
// filesystem (or whose file size is limited): records until the disk is
// full, stops, and copies the file to TELLURA_FULL_OUT.
TEST_F(Recording, DiskFullChild) {
  const char* dir = std::getenv("TELLURA_FULL_DIR");
  const char* out = std::getenv("TELLURA_FULL_OUT");
  if (!dir || !out) {
    GTEST_SKIP() << "run by OnAFullDiskTheFileStaysPlayable";
  }
  NotifyWindow window(card_);
  SetValue("CaptureMode", 1);
  const std::string path = std::string(dir) + "/full.mpg";
  Strova_SetCaptureFile(card_, path.c_str());
  ASSERT_EQ(Strova_StartCapture(card_), 1);
  EXPECT_TRUE(window.WaitFor(NOTIFY_DISK_FULL, 20000));
  EXPECT_EQ(Strova_StopCapture(card_), 1);
  EXPECT_EQ(State(), STROVA_STATE_RUNNING);
  std::filesystem::copy_file(path, std::string(out) + "/full.mpg");
}

}  // namespace

// A real small filesystem where user namespaces allow one, else a file size
// limit with its signal ignored so writes fail as on a full disk.
TEST(RecordingDiskFull, OnAFullDiskTheFileStaysPlayable) {
  ScopedHome home;
  const std::string dir = home.path("full"), out = home.path("out");
  std::filesystem::create_directories(dir);
  std::filesystem::create_directories(out);
  const std::string self = std::filesystem::read_symlink("/proc/self/exe");
  const std::string child = "TELLURA_FULL_DIR='" + dir + "' TELLURA_FULL_OUT='" + out + "' '" + self +
                            "' --gtest_filter=Recording.DiskFullChild";
  std::string cmd;
  if (std::system("unshare -rm true >/dev/null 2>&1") == 0)
    cmd = "unshare -rm sh -c \"mount -t tmpfs -o size=400k tellura '" + dir + "' && " + child + "\"";
  else
    cmd = "sh -c \"trap '' XFSZ; ulimit -f 800; " + child + "\"";
  const std::string log = Shell(cmd + " 2>&1; echo rc=$?");
  EXPECT_NE(log.find("rc=0"), std::string::npos) << log;
  EXPECT_NE(log.find("[  PASSED  ] 1 test"), std::string::npos) << log;
  const std::string probe = Probe(out + "/full.mpg");
  EXPECT_NE(probe.find("codec_name=mpeg1video|width=352|height=288"), std::string::npos) << probe;
  EXPECT_GT(Duration(probe), 0.5) << probe;
}

// The compressor list, choice and quality, and the capture frame rate, as
// the exports keep them; an AVI recording uses the chosen compressor.
TEST_F(Recording, AviUsesTheChosenCompressor) {
  int count = 0;
  ASSERT_EQ(Strova_EnumVideoCompressor(nullptr, &count), S_OK);
  ASSERT_GE(count, 2);
  std::vector<char> names(static_cast<size_t>(count) * STROVA_NAME_LEN, 'x');
  int capacity = 1;
  EXPECT_EQ(Strova_EnumVideoCompressor(names.data(), &capacity), E_OUTOFMEMORY);
  EXPECT_EQ(capacity, count);
  EXPECT_EQ(names[STROVA_NAME_LEN], 'x') << "only the capacity is written";
  ASSERT_EQ(Strova_EnumVideoCompressor(names.data(), &capacity), S_OK);
  std::vector<std::string> list;
  for (int i = 0; i < count; ++i) list.emplace_back(&names[static_cast<size_t>(i) * STROVA_NAME_LEN]);
  ASSERT_NE(std::find(list.begin(), list.end(), "MPEG-4 part 2"), list.end());

  const std::string tooLong(300, 'M');
  for (const char* bad : {"", "mpeg-4 part 2", tooLong.c_str()})
    EXPECT_EQ(Strova_ChooseVideoCompressor(bad), E_INVALIDARG) << bad;
  ASSERT_EQ(Strova_ChooseVideoCompressor("MPEG-4 part 2"), S_OK);
  EXPECT_EQ(Strova_ChooseVideoCompressor("unknown"), E_INVALIDARG);
  char chosen[STROVA_NAME_LEN] = "?";
  ASSERT_EQ(Strova_GetCurrentVideoCompressor(chosen), S_OK);
  EXPECT_STREQ(chosen, "MPEG-4 part 2") << "a refused name keeps the choice";
  EXPECT_EQ(Strova_SetVideoCompressorQuality(101), E_INVALIDARG);
  ASSERT_EQ(Strova_SetVideoCompressorQuality(29), S_OK);
  int quality = 0;
  Strova_GetVideoCompressorQuality(&quality);
  EXPECT_EQ(quality, 28);

  int use = -1;
  Strova_SetFrameRateOnCapture(card_, 1, 12.5);
  Strova_IsUseFrameRate(card_, &use);
  EXPECT_EQ(use, 1);
  Strova_SetFrameRateOnCapture(card_ + 1, 1, 12.5);  // invalid card: nothing happens
  Strova_IsUseFrameRate(card_ + 1, &use);
  EXPECT_EQ(use, 1);

  SetValue("CaptureMode", 3);
  const std::string probe = Record(home_.path("mpeg4.avi"), 1500);
  EXPECT_NE(probe.find("codec_name=mpeg4|width=320|height=240|r_frame_rate=25/1"), std::string::npos) << probe;
  EXPECT_NE(probe.find("codec_name=pcm_s16le"), std::string::npos) << probe;
  EXPECT_NEAR(Duration(probe), span_, 0.5) << probe;
  ASSERT_EQ(Strova_ChooseVideoCompressor(nullptr), S_OK);
  Strova_GetCurrentVideoCompressor(chosen);
  EXPECT_STREQ(chosen, "");
}

// The capture pin takes a frame time of its own and the recording carries
// it; what a pin cannot do is refused and changes nothing.
TEST_F(Recording, TheCapturePinsFrameTimeSetsTheRecordingsRate) {
  VideoInfo info{};
  ASSERT_EQ(Strova_GetVideoInfo(card_, &info, STROVA_PIN_CAPTURE), S_OK);
  EXPECT_EQ(info.avgTimePerFrame, 400000) << "the card's PAL rate";
  const VideoInfo good = info;
  for (int64_t absurd : {int64_t{-1}, int64_t{1}, int64_t{1000000000}}) {
    info.avgTimePerFrame = absurd;
    EXPECT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_CAPTURE), E_INVALIDARG) << absurd;
  }
  info = good;
  info.source = {10, 10, 100, 100};
  EXPECT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_CAPTURE), E_INVALIDARG) << "no cropping";
  info = good;
  info.bmi.width = 0;
  EXPECT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_CAPTURE), E_INVALIDARG);
  VideoInfo preview{};
  ASSERT_EQ(Strova_GetVideoInfo(card_, &preview, STROVA_PIN_PREVIEW), S_OK);
  preview.avgTimePerFrame = 1000000;
  EXPECT_EQ(Strova_SetVideoInfo(card_, preview, STROVA_PIN_PREVIEW), E_INVALIDARG) << "the preview shows every frame";

  info = good;
  info.avgTimePerFrame = 1000000;  // 10 frames a second
  info.bitRate = 12345;            // derived from the picture, not taken
  ASSERT_EQ(Strova_SetVideoInfo(card_, info, STROVA_PIN_CAPTURE), S_OK);
  VideoInfo back{};
  ASSERT_EQ(Strova_GetVideoInfo(card_, &back, STROVA_PIN_CAPTURE), S_OK);
  EXPECT_EQ(back.avgTimePerFrame, 1000000);
  EXPECT_EQ(back.bitRate, back.bmi.sizeImage * 8u * 10u);
  ASSERT_EQ(Strova_GetVideoInfo(card_, &preview, STROVA_PIN_PREVIEW), S_OK);
  EXPECT_EQ(preview.avgTimePerFrame, 400000) << "the preview pin keeps the card's rate";

  SetValue("CaptureMode", 3);
  const std::string probe = Record(home_.path("ten.avi"), 2000);
  EXPECT_NE(probe.find("codec_name=rawvideo|width=320|height=240|r_frame_rate=10/1"), std::string::npos) << probe;
  const std::string frames = Shell("ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames "
                                   "-of csv=p=0 '" + home_.path("ten.avi") + "'");
  EXPECT_NEAR(std::atof(frames.c_str()), span_ * 10, 5) << frames;
}

// What the multiplexer reports while a recording is written: its messages go
// to the standard error, which is read back from a file.
class StderrCapture {
 public:
  explicit StderrCapture(const std::string& path) : path_(path), saved_(dup(2)) {
    std::fflush(stderr);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    ::close(fd);
  }
  std::string Stop() {
    std::fflush(stderr);
    dup2(saved_, 2);
    ::close(saved_);
    return tellura::test::ReadFile(path_);
  }

 private:
  std::string path_;
  int saved_;
};

// Ten seconds of DVD and of VCD with sound, as a player's buffer model
// wants them: the multiplexer never lets a stream's buffer run dry, also at
// the default (lowest) DVD rate with snow, the hardest picture to encode.
TEST_F(Recording, DvdAndVcdMuxWithoutUnderflow) {
  SetValue("vid_standard", 16);
  SetValue("bitstream", 1120);
  ASSERT_EQ(Strova_RouteInPinToOutPin(card_, 1, 0), S_OK);
  ASSERT_EQ(SetTvChannelFreg(0, 300000), 1);  // between stations
  for (int mode : {2, 1}) {
    SetValue("CaptureMode", mode);
    SetValue("mpgmode", 0);
    const std::string file = home_.path(mode == 2 ? "dvd10.mpg" : "vcd10.mpg");
    StderrCapture err(home_.path("stderr.txt"));
    const std::string probe = Record(file, 10000);
    const std::string messages = err.Stop();
    // The multiplexer's own report; the encoder's rate control may note
    // that snow does not fit the rate, which is another matter.
    EXPECT_EQ(messages.find("] buffer underflow st="), std::string::npos) << mode << "\n" << messages;
    EXPECT_EQ(messages.find("packet too large"), std::string::npos) << mode << "\n" << messages;
    EXPECT_GT(Duration(probe), 5) << probe;
    // DVD is interlaced, top field first as a PAL card gives it; VCD is not.
    const std::string order = Shell("ffprobe -v error -select_streams v -show_entries stream=field_order "
                                    "-of csv=p=0 '" + file + "'");
    EXPECT_EQ(order.substr(0, 2) == "tt", mode == 2) << order;
    EXPECT_EQ(order.find("bb"), std::string::npos) << order;
  }
}

namespace {

// Share of pixels (per thousand) in a comb over the frames of a recording
// decoded to grey: a pixel and the one below it each differ from both their
// vertical neighbours in the same direction, as where two fields of
// different moments are woven along a moving edge.
double Combing(const std::string& file, int width, int height) {
  const std::string grey = Shell("ffmpeg -v error -i '" + file + "' -vf fps=5 -f rawvideo -pix_fmt gray -");
  const size_t frame = size_t(width) * height;
  long combed = 0, pixels = 0;
  for (size_t at = 0; at + frame <= grey.size(); at += frame) {
    auto luma = [&](int x, int y) { return int(uint8_t(grey[at + size_t(y) * width + x])); };
    auto tooth = [&](int x, int y) {
      const int d1 = luma(x, y) - luma(x, y - 1), d2 = luma(x, y) - luma(x, y + 1);
      return (d1 > 24 && d2 > 24) ? 1 : (d1 < -24 && d2 < -24) ? -1 : 0;
    };
    for (int y = 1; y + 2 < height; ++y)
      for (int x = 0; x < width; ++x, ++pixels)
        if (const int t = tooth(x, y); t != 0 && tooth(x, y + 1) == -t) ++combed;
  }
  return pixels ? 1000.0 * double(combed) / double(pixels) : -1;
}

}  // namespace

// The card's picture is interlaced; VCD and AVI pictures are progressive, so
// a moving edge in them must not show the comb of woven fields.
TEST_F(Recording, ProgressiveFormatsShowNoCombOfTheFields) {
  SetValue("vid_standard", 16);
  SetValue("mpgmode", 0);
  ASSERT_EQ(Strova_RouteInPinToOutPin(card_, 1, 0), S_OK);
  ASSERT_EQ(SetTvChannelFreg(0, 189250), 1);  // a station: its ball moves
  for (int mode : {1, 3}) {
    SetValue("CaptureMode", mode);
    const std::string file = home_.path(mode == 1 ? "vcd.mpg" : "clip.avi");
    Record(file, 2000);
    const double comb = mode == 1 ? Combing(file, 352, 288) : Combing(file, 320, 240);
    EXPECT_GE(comb, 0) << mode;
    EXPECT_LT(comb, 0.2) << mode;
  }
}

// AVI files show the television picture's 4:3 shape whatever the card's
// standard delivers (720 x 576 or 720 x 480), in the stream header and its
// picture properties; MPEG-4 part 2 at the best quality makes 10 s at least
// five times smaller than uncompressed pictures.
TEST_F(Recording, AviFilesAreFourByThreeAndCompressedOnesSmall) {
  SetValue("CaptureMode", 3);
  for (const int standard : {16, 1}) {  // PAL-B, NTSC-M
    SCOPED_TRACE(standard);
    ASSERT_EQ(Strova_SetVideoStandard(card_, standard), S_OK);
    SetValue("vid_standard", standard);
    const std::string path = home_.path("shape" + std::to_string(standard) + ".avi");
    ASSERT_NE(Record(path, 1500).find("codec_name=rawvideo"), std::string::npos);
    EXPECT_EQ(Shell("ffprobe -v error -select_streams v -show_entries stream=display_aspect_ratio -of csv=p=0 '" +
                    path + "'"),
              "4:3\n");
    EXPECT_EQ(Shell("grep -c vprp '" + path + "'"), "1\n") << "the picture properties chunk";
  }
  SetValue("vid_standard", 16);
  ASSERT_EQ(Strova_SetVideoStandard(card_, 16), S_OK);
  const std::string raw = home_.path("raw.avi"), small = home_.path("mpeg4.avi");
  Record(raw, 10000);
  ASSERT_EQ(Strova_ChooseVideoCompressor("MPEG-4 part 2"), S_OK);
  ASSERT_EQ(Strova_SetVideoCompressorQuality(100), S_OK);
  const std::string probe = Record(small, 10000);
  EXPECT_NE(probe.find("codec_name=mpeg4"), std::string::npos) << probe;
  EXPECT_EQ(Shell("ffprobe -v error -select_streams v -show_entries stream=codec_tag_string,display_aspect_ratio "
                  "-of csv=p=0 '" + small + "'"),
            "XVID,4:3\n");
  const auto rawSize = std::filesystem::file_size(raw), smallSize = std::filesystem::file_size(small);
  EXPECT_GE(rawSize, 5 * smallSize) << rawSize << " vs " << smallSize;
}
