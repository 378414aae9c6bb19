// Recording cost: CPU seconds per recorded second for the VCD and DVD
// streams, next to the ffmpeg command line encoding the same kind of source
// to the same target in the same run.  Usage: bench-record [seconds] [folder]
#include "strova/filters/mpeg/MpegWriter.h"

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace strova::mpeg;

namespace {

double Cpu(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A second of moving pictures made before timing, so only encoding is measured.
std::vector<std::vector<uint8_t>> Source(int w, int h) {
  std::vector<std::vector<uint8_t>> frames(25, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3));
  uint32_t seed = 1;
  for (int n = 0; n < 25; ++n)
    for (int i = 0; i < w * h; ++i) {
      seed = seed * 1664525u + 1013904223u;
      uint8_t* p = &frames[n][static_cast<size_t>(i) * 3];
      p[0] = static_cast<uint8_t>((i % w + n * 8) ^ (seed >> 28));
      p[1] = static_cast<uint8_t>(i / w + n * 3);
      p[2] = static_cast<uint8_t>(((i % w) * (i / w)) >> 7);
    }
  return frames;
}

struct Result {
  double cpuPerSecond;
  double wallPerSecond;
  int64_t dropped;
};

Result Ours(const VideoSettings& v, const AudioSettings& a, const MuxSettings& m, int seconds) {
  auto frames = Source(720, 576);
  std::vector<int16_t> pcm(1920 * 2);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(6000 * std::sin(i * 0.03));
  MpegWriter w;
  std::string err;
  if (!w.Open(v, a, m, &err)) {
    std::fprintf(stderr, "cannot record: %s\n", err.c_str());
    std::exit(1);
  }
  const double cpu0 = Cpu(RUSAGE_SELF);
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < seconds * 25; ++i) {
    w.WriteVideo({frames[i % 25].data(), 720, 576, 0, PixelFormat::Rgb24}, i * 40000000LL);
    w.WriteAudio(pcm.data(), 1920, 48000, 2);
  }
  w.Close();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return {(Cpu(RUSAGE_SELF) - cpu0) / seconds, wall / seconds, w.FramesDropped()};
}

double Reference(const std::string& target, const std::string& out, int seconds) {
  const double cpu0 = Cpu(RUSAGE_CHILDREN);
  std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc2=size=720x576:rate=25 -f lavfi -i sine=r=48000 -t " +
                    std::to_string(seconds) + " -target " + target + " '" + out + "'";
  if (std::system(cmd.c_str()) != 0) return NAN;
  return (Cpu(RUSAGE_CHILDREN) - cpu0) / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  const std::string dir = argc > 2 ? argv[2] : "/tmp";
  struct Case {
    const char* name;
    const char* target;
    VideoSettings v;
    AudioSettings a;
    MuxSettings m;
  } cases[] = {
      {"VCD", "pal-vcd", {352, 288, 25, 1, false, 1120, 15, 3}, {true, 44100, 224}, {MuxType::Vcd, 2324, dir + "/bench-vcd.mpg", {}}},
      {"DVD", "pal-dvd", {720, 576, 25, 1, true, 6000, 6, 1}, {true, 48000, 224}, {MuxType::Dvd, 2048, dir + "/bench-dvd.mpg", {}}},
  };
  std::printf("%-4s %10s %10s %8s %14s %7s\n", "fmt", "cpu s/s", "wall s/s", "dropped", "ffmpeg cpu s/s", "ratio");
  for (auto& c : cases) {
    Result r = Ours(c.v, c.a, c.m, seconds);
    double ref = Reference(c.target, dir + "/bench-ref.mpg", seconds);
    std::printf("%-4s %10.3f %10.3f %8lld %14.3f %7.2f\n", c.name, r.cpuPerSecond, r.wallPerSecond,
                static_cast<long long>(r.dropped), ref, r.cpuPerSecond / ref);
  }
  return 0;
}
