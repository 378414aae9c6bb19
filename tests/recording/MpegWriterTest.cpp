// Real recordings through the MPEG writer, checked with ffprobe.
#include "strova/filters/mpeg/Compressors.h"
#include "strova/filters/mpeg/MpegWriter.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <filesystem>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace strova::mpeg;
using tellura::test::ScopedHome;

namespace {

std::string Run(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

using Fields = std::map<std::string, std::string>;

// Key=value blocks of ffprobe's default writer, one map per [STREAM]/[FORMAT].
std::vector<Fields> Probe(const std::string& path) {
  std::istringstream in(Run("ffprobe -v error -show_entries stream=codec_name,codec_type,width,height,"
                            "r_frame_rate,sample_rate,bit_rate:format=duration,format_name '" +
                            path + "' 2>&1"));
  std::vector<Fields> blocks;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("[/", 0) == 0) continue;
    if (line.size() > 1 && line[0] == '[') {
      blocks.emplace_back();
      blocks.back()["block"] = line;
      continue;
    }
    auto eq = line.find('=');
    if (eq != std::string::npos && !blocks.empty()) blocks.back()[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return blocks;
}

Fields Find(const std::vector<Fields>& blocks, const std::string& key, const std::string& value) {
  for (const auto& b : blocks)
    if (b.count(key) && b.at(key) == value) return b;
  return {};
}

// Measured video bit rate in kbit/s: payload bytes over the stream's duration.
double MeasuredVideoKbps(const std::string& path, double seconds) {
  std::istringstream in(Run("ffprobe -v error -select_streams v -show_entries packet=size -of csv=p=0 '" + path + "'"));
  double bytes = 0;
  std::string line;
  while (std::getline(in, line)) bytes += std::atof(line.c_str());
  return bytes * 8 / 1000 / seconds;
}

// A moving, noisy picture so the encoder has real work, like a tuner picture.
std::vector<uint8_t> Picture(int w, int h, int n) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
  uint32_t seed = 12345u + n;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = static_cast<uint8_t>((x + n * 4) ^ (seed >> 27));
      p[1] = static_cast<uint8_t>(y + n * 2);
      p[2] = static_cast<uint8_t>((x * y) >> 6);
    }
  return px;
}

struct Recording {
  VideoSettings video;
  AudioSettings audio;
  MuxSettings mux;
  double seconds = 2.0;
  int inWidth = 320;
  int inHeight = 240;
};

void Record(MpegWriter& w, const Recording& r) {
  const int frames = static_cast<int>(std::lround(r.seconds * r.video.fpsNum / r.video.fpsDen));
  const int pcmRate = 48000, chunk = 960;
  std::vector<int16_t> pcm(static_cast<size_t>(chunk) * 2);
  int64_t samples = 0;
  for (int i = 0; i < frames; ++i) {
    auto px = Picture(r.inWidth, r.inHeight, i);
    Frame f{px.data(), r.inWidth, r.inHeight, 0, PixelFormat::Rgb24};
    int64_t t = static_cast<int64_t>(i) * 1000000000LL * r.video.fpsDen / r.video.fpsNum;
    ASSERT_EQ(w.WriteVideo(f, t), WriteStatus::Ok);
    while (samples * 1000000000LL / pcmRate < t + 40000000) {
      for (int s = 0; s < chunk; ++s)
        pcm[2 * s] = pcm[2 * s + 1] = static_cast<int16_t>(8000 * std::sin((samples + s) * 0.0575));
      ASSERT_EQ(w.WriteAudio(pcm.data(), chunk, pcmRate, 2), WriteStatus::Ok);
      samples += chunk;
    }
  }
}

// VCD and DVD streams are whole packs of the packet size; a generic program
// stream only starts with a pack.
void ExpectPacked(const std::string& path, int packetSize, MuxType type) {
  std::string data = tellura::test::ReadFile(path);
  ASSERT_GT(data.size(), static_cast<size_t>(packetSize) * 4);
  if (type == MuxType::Mpeg) {
    EXPECT_EQ(data.compare(0, 4, std::string("\0\0\1\xBA", 4)), 0);
    return;
  }
  EXPECT_EQ(data.size() % packetSize, 0u) << "file is not whole packs";
  for (size_t off : {size_t(0), size_t(packetSize), size_t(packetSize) * 3})
    EXPECT_EQ(data.compare(off, 4, std::string("\0\0\1\xBA", 4)), 0) << "no pack header at " << off;
}

struct Expect {
  std::string codec;
  int width, height;
  std::string rate;
  int sampleRate;
  int videoKbps;
};

void CheckStream(const std::string& path, const Recording& r, const Expect& e) {
  auto blocks = Probe(path);
  Fields v = Find(blocks, "codec_type", "video");
  Fields a = Find(blocks, "codec_type", "audio");
  Fields f = Find(blocks, "block", "[FORMAT]");
  EXPECT_EQ(v["codec_name"], e.codec);
  EXPECT_EQ(v["width"], std::to_string(e.width));
  EXPECT_EQ(v["height"], std::to_string(e.height));
  EXPECT_EQ(v["r_frame_rate"], e.rate);
  EXPECT_EQ(a["codec_name"], "mp2");
  EXPECT_EQ(a["sample_rate"], std::to_string(e.sampleRate));
  EXPECT_NEAR(std::atof(a["bit_rate"].c_str()), r.audio.bitrateKbps * 1000.0, 1.0);
  EXPECT_NEAR(std::atof(f["duration"].c_str()), r.seconds, 0.5);
  EXPECT_NEAR(MeasuredVideoKbps(path, r.seconds), e.videoKbps, e.videoKbps * 0.10);
  ExpectPacked(path, r.mux.packetSize, r.mux.type);
}

Recording Vcd(const std::string& path) {
  Recording r;
  r.video = {352, 288, 25, 1, false, 1120, 15, 3, {}, 1.0};
  r.audio = {true, 44100, 224};
  r.mux = {MuxType::Vcd, 2324, path, {}};
  return r;
}

}  // namespace

TEST(MpegWriter, VcdAndDvdStreamsCarryWhatTheirFormatPromises) {
  ScopedHome home;
  Recording vcd = Vcd(home.path("vcd.mpg"));
  vcd.inWidth = 352;
  vcd.inHeight = 288;
  Recording dvd;
  dvd.video = {720, 576, 25, 1, true, 4000, 6, 1, {}, 1.0};
  dvd.audio = {true, 48000, 224};
  dvd.mux = {MuxType::Dvd, 2048, home.path("dvd.mpg"), {}};
  dvd.inWidth = 720;
  dvd.inHeight = 576;
  for (auto* r : {&vcd, &dvd}) {
    MpegWriter w;
    std::string err;
    ASSERT_TRUE(w.Open(r->video, r->audio, r->mux, &err)) << err;
    Record(w, *r);
    ASSERT_EQ(w.Close(), WriteStatus::Ok);
    EXPECT_EQ(w.FramesDropped(), 0);
  }
  CheckStream(vcd.mux.path, vcd, {"mpeg1video", 352, 288, "25/1", 44100, 1120});
  CheckStream(dvd.mux.path, dvd, {"mpeg2video", 720, 576, "25/1", 48000, 4000});
}

TEST(MpegWriter, CustomProfilesScaleTheInputAndUseTheGivenRates) {
  ScopedHome home;
  Recording m1 = Vcd(home.path("custom1.mpg"));
  m1.video.bitrateKbps = 2000;
  m1.audio.bitrateKbps = 64;
  m1.mux.type = MuxType::Mpeg;
  Recording m2;
  m2.video = {720, 480, 30000, 1001, true, 3000, 6, 1, {}, 1.0};
  m2.audio = {true, 48000, 384};
  m2.mux = {MuxType::Dvd, 2048, home.path("custom2.mpg"), {}};
  for (auto* r : {&m1, &m2}) {
    MpegWriter w;
    std::string err;
    ASSERT_TRUE(w.Open(r->video, r->audio, r->mux, &err)) << err;
    Record(w, *r);  // 320 x 240 input, scaled to the stream's size
    ASSERT_EQ(w.Close(), WriteStatus::Ok);
  }
  CheckStream(m1.mux.path, m1, {"mpeg1video", 352, 288, "25/1", 44100, 2000});
  CheckStream(m2.mux.path, m2, {"mpeg2video", 720, 480, "30000/1001", 48000, 3000});
}

TEST(MpegWriter, DiskFullIsReportedAndLeavesAReadableStream) {
  ScopedHome home;
  std::string written;
  const size_t capacity = 200 * 1024;
  Recording r = Vcd("");
  r.mux.sink = [&](const uint8_t* data, size_t size) -> long {
    if (written.size() + size > capacity) return -ENOSPC;
    written.append(reinterpret_cast<const char*>(data), size);
    return static_cast<long>(size);
  };
  MpegWriter w;
  std::string err;
  ASSERT_TRUE(w.Open(r.video, r.audio, r.mux, &err)) << err;
  WriteStatus st = WriteStatus::Ok;
  std::vector<int16_t> pcm(1920 * 2, 0);
  for (int i = 0; i < 200 && st == WriteStatus::Ok; ++i) {
    auto px = Picture(320, 240, i);
    st = w.WriteVideo({px.data(), 320, 240, 0, PixelFormat::Rgb24}, i * 40000000LL);
    if (st == WriteStatus::Ok) st = w.WriteAudio(pcm.data(), 1920, 48000, 2);
  }
  EXPECT_EQ(st, WriteStatus::DiskFull);
  EXPECT_EQ(w.Close(), WriteStatus::DiskFull);
  EXPECT_FALSE(w.IsOpen());
  ASSERT_TRUE(tellura::test::WriteFile(home.path("partial.mpg"), written));
  auto blocks = Probe(home.path("partial.mpg"));
  EXPECT_EQ(Find(blocks, "codec_type", "video")["codec_name"], "mpeg1video");
  EXPECT_GT(std::atof(Find(blocks, "block", "[FORMAT]")["duration"].c_str()), 0.5);
}

TEST(MpegWriter, RefusesBadTargetsAndSettingsCleanly) {
  ScopedHome home;
  MpegWriter w;
  std::string err;
  Recording r = Vcd(home.path("missing/folder/x.mpg"));
  EXPECT_FALSE(w.Open(r.video, r.audio, r.mux, &err));
  EXPECT_FALSE(err.empty());
  EXPECT_FALSE(w.IsOpen());
  if (geteuid() != 0) {  // root writes anywhere
    ASSERT_EQ(mkdir(home.path("ro").c_str(), 0500), 0);
    Recording ro = Vcd(home.path("ro/x.mpg"));
    EXPECT_FALSE(w.Open(ro.video, ro.audio, ro.mux, &err));
  }
  std::vector<uint8_t> px(320 * 240 * 3);
  EXPECT_EQ(w.WriteVideo({px.data(), 320, 240, 0, PixelFormat::Rgb24}), WriteStatus::Failed);

  Recording bad = Vcd(home.path("bad.mpg"));
  bad.video.width = 0;
  EXPECT_FALSE(w.Open(bad.video, bad.audio, bad.mux, &err));
  bad = Vcd(home.path("bad.mpg"));
  bad.video.fpsNum = 0;
  EXPECT_FALSE(w.Open(bad.video, bad.audio, bad.mux, &err));
  EXPECT_FALSE(std::ifstream(home.path("bad.mpg")).good()) << "a refused start leaves no file";

  // Null or empty input never reaches the encoder.
  Recording ok = Vcd(home.path("ok.mpg"));
  ASSERT_TRUE(w.Open(ok.video, ok.audio, ok.mux, &err)) << err;
  EXPECT_EQ(w.WriteVideo({nullptr, 320, 240, 0, PixelFormat::Rgb24}), WriteStatus::Failed);
  EXPECT_EQ(w.WriteAudio(nullptr, 100, 48000, 2), WriteStatus::Failed);
  EXPECT_EQ(w.WriteAudio(reinterpret_cast<const int16_t*>(px.data()), 100, 0, 2), WriteStatus::Failed);
  EXPECT_EQ(w.Close(), WriteStatus::Ok);
}

TEST(MpegWriter, TimestampsKeepTheConstantFrameGrid) {
  ScopedHome home;
  Recording r = Vcd(home.path("grid.mpg"));
  MpegWriter w;
  std::string err;
  ASSERT_TRUE(w.Open(r.video, r.audio, r.mux, &err)) << err;
  auto px = Picture(320, 240, 0);
  Frame f{px.data(), 320, 240, 0, PixelFormat::Rgb24};
  EXPECT_EQ(w.WriteVideo(f, 0), WriteStatus::Ok);
  EXPECT_EQ(w.WriteVideo(f, 10000000), WriteStatus::Ok);   // same 40 ms slot: dropped
  EXPECT_EQ(w.WriteVideo(f, 200000000), WriteStatus::Ok);  // 5th slot: 4 repeats fill the gap
  EXPECT_EQ(w.FramesDropped(), 1);
  EXPECT_EQ(w.FramesRepeated(), 4);
  EXPECT_EQ(w.VideoFramesWritten(), 6);
  EXPECT_EQ(w.Close(), WriteStatus::Ok);
}

namespace {

// Where a stream's packets end, in seconds ("v" or "a").
double StreamEnd(const std::string& path, const char* kind) {
  std::istringstream in(Run("ffprobe -v error -select_streams " + std::string(kind) +
                            ":0 -show_entries packet=pts_time,duration_time -of csv=p=0 '" + path + "'"));
  double end = 0;
  std::string line;
  while (std::getline(in, line)) {
    double pts = 0, dur = 0;
    if (std::sscanf(line.c_str(), "%lf,%lf", &pts, &dur) >= 1) end = std::max(end, pts + dur);
  }
  return end;
}

}  // namespace

// Sound dropped upstream for a second, and a block sent twice, still end the
// file with the sound where the picture is.
TEST(MpegWriter, SoundGapsAndRepeatsKeepSoundWithThePicture) {
  ScopedHome home;
  const std::string path = home.path("gap.mpg");
  Recording r = Vcd(path);
  MpegWriter w;
  std::string err;
  ASSERT_TRUE(w.Open(r.video, r.audio, r.mux, &err)) << err;
  auto px = Picture(320, 240, 0);
  Frame f{px.data(), 320, 240, 0, PixelFormat::Rgb24};
  std::vector<int16_t> pcm(960 * 2);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(8000 * std::sin(i * 0.05));
  constexpr int64_t kBlock = 20000000;  // 20 ms of sound at 48 kHz
  for (int64_t t = 0; t < 6000000000; t += kBlock) {
    if (t % 40000000 == 0) {
      ASSERT_EQ(w.WriteVideo(f, t), WriteStatus::Ok);
    }
    if (t >= 2000000000 && t < 3000000000) continue;  // a second of sound lost
    ASSERT_EQ(w.WriteAudio(pcm.data(), 960, 48000, 2, t), WriteStatus::Ok);
    if (t == 4000000000) {
      ASSERT_EQ(w.WriteAudio(pcm.data(), 960, 48000, 2, t), WriteStatus::Ok);  // sent twice
    }
  }
  ASSERT_EQ(w.Close(), WriteStatus::Ok);
  const double video = StreamEnd(path, "v"), audio = StreamEnd(path, "a");
  EXPECT_GT(video, 6.0);  // the stream's start is offset by the muxer's preload
  EXPECT_NEAR(audio, video, 0.04);
}

// Every offered compressor writes an AVI that ffprobe reads back with that
// codec and PCM sound; the quality really changes what an encoder spends.
TEST(MpegWriter, EveryListedCompressorWritesAnAviAndQualityCounts) {
  ScopedHome home;
  const std::vector<std::string> names = ListVideoCompressors();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(FindCompressor("no such compressor"), nullptr);
  std::map<double, uintmax_t> sizes;
  for (const std::string& name : names) {
    for (double quality : {0.0, 1.0}) {
      if (quality == 0.0 && name != "MPEG-4 part 2") continue;
      Recording r;
      r.seconds = 1.0;
      r.video = {320, 240, 25, 1, false, 1000, 12, 1, name, quality};
      r.mux = {MuxType::Avi, 2048, home.path("c.avi"), {}};
      MpegWriter w;
      std::string error;
      ASSERT_TRUE(w.Open(r.video, r.audio, r.mux, &error)) << name << ": " << error;
      Record(w, r);
      ASSERT_EQ(w.Close(), WriteStatus::Ok) << name;
      auto blocks = Probe(r.mux.path);
      EXPECT_EQ(Find(blocks, "codec_type", "video")["width"], "320") << name;
      EXPECT_EQ(Find(blocks, "codec_type", "audio")["codec_name"], "pcm_s16le") << name;
      EXPECT_EQ(Find(blocks, "block", "[FORMAT]")["format_name"], "avi") << name;
      EXPECT_NEAR(std::atof(Find(blocks, "block", "[FORMAT]")["duration"].c_str()), 1.0, 0.2) << name << ": header completed";
      if (name == "MPEG-4 part 2") {
        EXPECT_EQ(Find(blocks, "codec_type", "video")["codec_name"], "mpeg4");
        sizes[quality] = std::filesystem::file_size(r.mux.path);
      }
    }
  }
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_GT(sizes[1.0], sizes[0.0] * 2) << "best quality spends more than the smallest";
}
