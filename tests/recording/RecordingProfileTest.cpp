// The recording settings as they reach the encoder and multiplexer filters,
// and what those filters make of them.
#include "strova/capture/RecordingProfile.h"

#include "platform/Registry.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace strova::capture;
using strova::mpeg::MuxType;

namespace {

int Last(const ParamList& p, uint32_t id) {
  int v = -1;
  for (auto& [k, val] : p)
    if (k == id) v = val;
  return v;
}

MpegParams Apply(const RecordingValues& v, const std::string& path) {
  MpegParams m;
  for (auto& [id, val] : VideoEncoderParams(v)) EXPECT_TRUE(m.SetVideo(id, val));
  EXPECT_TRUE(m.SetAudio(0x102, AudioEncoderBitrate(v)));
  for (auto& [id, val] : MultiplexerParams(v)) EXPECT_TRUE(m.SetMux(id, val));
  m.SetFileName(WorkName(path));
  return m;
}

}  // namespace

TEST(RecordingProfile, VcdVariantFollowsTheVcdFormat) {
  RecordingValues v;  // defaults: CaptureMode 1, PAL
  v.audioRate = 0;
  v.bitstream = 5000;
  int w, h;
  CapturePinSize(v, &w, &h);
  EXPECT_EQ(w, 352);
  EXPECT_EQ(h, 288);
  ParamList p = VideoEncoderParams(v);
  ASSERT_EQ(p.size(), 8u);
  EXPECT_EQ(p.front(), (std::pair<uint32_t, int32_t>{5, 3}));
  EXPECT_EQ(Last(p, 7), 1);
  EXPECT_EQ(Last(p, 9), 1120);  // bitstream is not used by the VCD variant
  EXPECT_EQ(AudioEncoderBitrate(v), 224);

  auto m = Apply(v, "/rec/show.mpg");
  EXPECT_EQ(m.Video().width, 352);
  EXPECT_EQ(m.Video().height, 288);
  EXPECT_FALSE(m.Video().mpeg2);
  EXPECT_EQ(m.Video().bitrateKbps, 1120);
  EXPECT_EQ(m.Audio(true).sampleRate, 44100);
  EXPECT_EQ(m.Mux().type, MuxType::Vcd);
  EXPECT_EQ(m.Mux().packetSize, 2324);
  EXPECT_EQ(m.Mux().path, "/rec/show.mpg");

  v.vidStandard = 0;  // NTSC: 320 x 240 capture, but the stream is 352 x 240 at 29.97
  CapturePinSize(v, &w, &h);
  EXPECT_EQ(w, 320);
  m = Apply(v, "/rec/show.mpg");
  EXPECT_EQ(m.Video().width, 352);
  EXPECT_EQ(m.Video().height, 240);
  EXPECT_EQ(m.Video().fpsNum, 30000);
  EXPECT_EQ(m.Video().fpsDen, 1001);
}

TEST(RecordingProfile, DvdAndFullWidthCustomUseTheDvdMultiplexer) {
  RecordingValues dvd;
  dvd.captureMode = 2;
  dvd.bitstream = 6000;
  ParamList p = VideoEncoderParams(dvd);
  EXPECT_EQ(p[p.size() - 2], (std::pair<uint32_t, int32_t>{9, 2400}));
  EXPECT_EQ(p.back(), (std::pair<uint32_t, int32_t>{9, 6000}));
  auto m = Apply(dvd, "/x/a.mpg");
  EXPECT_TRUE(m.Video().mpeg2);
  EXPECT_EQ(m.Video().width, 720);
  EXPECT_EQ(m.Video().height, 576);
  EXPECT_EQ(m.Video().bitrateKbps, 6000);
  EXPECT_EQ(m.Video().bFrameDistance, 1);
  EXPECT_EQ(m.Audio(true).sampleRate, 48000);
  EXPECT_EQ(m.Mux().packetSize, 2048);

  RecordingValues custom;
  custom.captureMode = 0;
  custom.mpgMode = 1;
  int w, h;
  CapturePinSize(custom, &w, &h);
  EXPECT_EQ(w, 720);
  EXPECT_EQ(h, 576);
  EXPECT_TRUE(custom.FullWidth());
  ParamList mux = MultiplexerParams(custom);
  EXPECT_EQ(mux[0], (std::pair<uint32_t, int32_t>{0x203, 1}));
  EXPECT_EQ(mux[1], (std::pair<uint32_t, int32_t>{0x201, 2048}));
  custom.vidStandard = 0;  // NTSC custom: no GOP or B-frame parameters
  EXPECT_EQ(Last(VideoEncoderParams(custom), 11), -1);
  EXPECT_EQ(Apply(custom, "/x/a.mpg").Video().height, 480);
}

TEST(RecordingProfile, CustomMpeg1UsesTheAudioTableAndGenericMultiplexer) {
  RecordingValues v;
  v.captureMode = 0;
  v.audioRate = 0;
  EXPECT_EQ(AudioEncoderBitrate(v), 64);
  v.audioRate = 10;
  EXPECT_EQ(AudioEncoderBitrate(v), 384);
  for (int bad : {-1, 11, 1000}) {
    v.audioRate = bad;
    EXPECT_EQ(AudioEncoderBitrate(v), 224) << bad;
  }
  EXPECT_EQ(MultiplexerParams(v)[0].second, 0);
  auto m = Apply(v, "/x/a.mpg");
  EXPECT_EQ(m.Mux().type, MuxType::Mpeg);
  EXPECT_EQ(m.Mux().packetSize, 2324);
  EXPECT_FALSE(m.Video().mpeg2);
  // Rates the format cannot carry are brought into range.
  m.SetVideo(9, 0);
  EXPECT_EQ(m.Video().bitrateKbps, 300);
  m.SetVideo(9, 1 << 30);
  EXPECT_EQ(m.Video().bitrateKbps, 4000);
  EXPECT_FALSE(m.SetVideo(99, 1));
  EXPECT_FALSE(m.SetMux(0x999, 1));
  m.SetAudio(0x102, 12345);
  EXPECT_EQ(m.Audio(true).bitrateKbps, 224);
}

TEST(RecordingProfile, CaptureNamesAreCheckedAndTrimmed) {
  EXPECT_FALSE(ValidCaptureName("", false));
  EXPECT_FALSE(ValidCaptureName("a.m", true));
  EXPECT_TRUE(ValidCaptureName("a.m", false));
  EXPECT_TRUE(ValidCaptureName(".mpg", true));
  EXPECT_TRUE(ValidCaptureName(std::string(259, 'a'), true));
  EXPECT_FALSE(ValidCaptureName(std::string(260, 'a'), true));
  EXPECT_EQ(WorkName("/home/u/rec.mpg"), "/home/u/rec");
  EXPECT_EQ(WorkName("abc"), "");
  EXPECT_TRUE(RecordingValues{3}.Avi());
  EXPECT_FALSE(RecordingValues{2}.Avi());
}

TEST(RecordingProfile, ValuesAreReadFromTheSettingsKeyWithDefaults) {
  tellura::test::ScopedHome home;
  RecordingValues d = ReadRecordingValues();  // empty store: every default
  EXPECT_EQ(d.captureMode, 1);
  EXPECT_EQ(d.vidStandard, 16);
  EXPECT_EQ(d.audioRate, 7);
  EXPECT_EQ(d.bitstream, 1120);
  EXPECT_EQ(d.mpgMode, 0);
  EXPECT_EQ(d.halfPic, 1);

  plat::HKEY key = nullptr;
  ASSERT_EQ(plat::RegCreateKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Quorvel\\Tellura", &key), plat::ERROR_SUCCESS);
  const uint32_t mode = 2, rate = 4000;
  const uint16_t shortValue = 5;
  plat::RegSetValueExA(key, "CaptureMode", plat::REG_DWORD, reinterpret_cast<const uint8_t*>(&mode), 4);
  plat::RegSetValueExA(key, "bitstream", plat::REG_DWORD, reinterpret_cast<const uint8_t*>(&rate), 4);
  plat::RegSetValueExA(key, "audiorate", plat::REG_BINARY, reinterpret_cast<const uint8_t*>(&shortValue), 2);
  ASSERT_EQ(plat::RegCloseKey(key), plat::ERROR_SUCCESS);
  RecordingValues v = ReadRecordingValues();
  EXPECT_EQ(v.captureMode, 2);
  EXPECT_EQ(v.bitstream, 4000);
  EXPECT_EQ(v.audioRate, 7) << "a value of the wrong size keeps the default";
}
