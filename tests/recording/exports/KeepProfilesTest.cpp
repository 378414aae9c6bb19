// The profiles for keeps recorded from the virtual card: what ffprobe and
// ffmpeg read from the files, and the lossless file's own check.
#include "../RecordingTestUtil.h"
#include "strova/Strova.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using recording_test::SetValue;
using recording_test::Shell;

namespace {

class KeepProfiles : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    ASSERT_EQ(Strova_Initialize(), S_OK);
    int count = 0;
    Strova_GetCardNumber(&count);
    card_ = count - 1;
    ASSERT_EQ(Strova_ConnectDevice(card_, 0, nullptr), S_OK);
  }
  void TearDown() override { Strova_Uninitialize(); }

  // Records `frames` frames with sound in the given mode; the counts after.
  StrovaRecordingCounts Record(int mode, const std::string& path, int frames) {
    SetValue("CaptureMode", mode);
    int sound = 1;
    Strova_SetCaptureAudio(card_, &sound);
    Strova_SetCaptureFile(card_, path.c_str());
    StrovaRecordingCounts n{};
    if (Strova_StartCapture(card_) != 1) return n;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Strova_GetRecordingCounts(card_, &n) == S_OK && n.framesCaptured < frames &&
           std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Strova_StopCapture(card_), 1);
    Strova_GetRecordingCounts(card_, &n);
    return n;
  }

  static std::string Streams(const std::string& path) {
    return Shell("ffprobe -v error -show_entries stream=codec_name,profile,width,height,field_order,"
                 "display_aspect_ratio,color_range,color_space,color_primaries,sample_rate -of compact=p=0 '" +
                 path + "'");
  }

  tellura::test::ScopedHome home_;
  int card_ = -1;
};

// The stream, size and checksum columns of a framemd5 listing.
std::string Sums(const std::string& listing) {
  return Shell("grep -v '^#' " + listing + " | awk -F', *' '{print $1, $5, $6}' | sort");
}

TEST_F(KeepProfiles, LosslessFileIsFlaggedAndDecodesToItsChecksums) {
  const std::string path = home_.path("tape.avi");  // the viewer's name: the file is tape.mkv
  StrovaRecordingCounts n = Record(4, path, 50);
  const std::string mkv = home_.path("tape.mkv");
  const std::string streams = Streams(mkv);
  EXPECT_NE(streams.find("codec_name=ffv1|profile=unknown|width=720|height=576|display_aspect_ratio=4:3|"
                         "color_range=tv|color_space=bt470bg|color_primaries=bt470bg|field_order=tt"),
            std::string::npos) << streams;
  EXPECT_NE(streams.find("codec_name=pcm_s16le|profile=unknown|sample_rate=48000"), std::string::npos) << streams;
  // Version 3 with a checksum in every slice.
  const std::string header = Shell("ffmpeg -hide_banner -debug 1 -i '" + mkv + "' -frames:v 1 -f null - 2>&1");
  EXPECT_NE(header.find("ver:3 keyframe:1 coder:2 ec:1"), std::string::npos) << header.substr(0, 2000);
  // ffmpeg's own decoding gives the checksums listed beside the file.
  const std::string decoded = home_.path("decoded.framemd5");
  Shell("ffmpeg -v error -i '" + mkv + "' -f framemd5 '" + decoded + "'");
  const std::string listed = Sums("'" + mkv + ".framemd5'");
  EXPECT_GT(listed.size(), 50u * 40);
  EXPECT_EQ(Sums("'" + decoded + "'"), listed);
  // The library's own check says the same.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (n.checked == 0 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Strova_GetRecordingCounts(card_, &n);
  }
  EXPECT_EQ(n.checked, 1);
  EXPECT_NE(tellura::test::ReadFile(home_.path("tape.log")).find("all equal to their checksums"), std::string::npos);
  const std::string tag = Shell("ffprobe -v error -show_entries format_tags=CAPTURE_LOG -of default=nw=1 '" + mkv + "'");
  EXPECT_NE(tag.find("frames dropped: 0"), std::string::npos) << tag;
}

TEST_F(KeepProfiles, H264FileIsFourByThreeWithItsColourFlags) {
  Record(5, home_.path("small.avi"), 50);
  const std::string streams = Streams(home_.path("small.mp4"));
  EXPECT_NE(streams.find("codec_name=h264|profile=High|width=720|height=576|display_aspect_ratio=4:3|"
                         "color_range=tv|color_space=bt470bg|color_primaries=bt470bg|field_order=progressive"),
            std::string::npos) << streams;
  EXPECT_NE(streams.find("codec_name=aac|profile=LC|sample_rate=48000"), std::string::npos) << streams;
  // The header before the pictures: players start at once.
  const std::string boxes = Shell("head -c 4096 '" + home_.path("small.mp4") + "' | grep -c moov");
  EXPECT_EQ(boxes, "1\n");
}

}  // namespace
