// Recording cost. Two parts, each beside the ffmpeg command line encoding the
// same raw input to the same target in the same run:
//  - encoder: the writer alone on prepared frames (VCD, DVD, the lossless
//    FFV1 + PCM Matroska profile and the H.264 + AAC MP4 profile);
//  - library: recordings from the virtual card through the exports while the
//    preview runs (VCD, DVD, AVI, lossless, H.264): CPU seconds per recorded second and the
//    frames the file holds against the frames the time called for.
// Usage: bench-record [seconds] [folder]   (default 60 s, a private folder)
#include "platform/Registry.h"
#include "strova/Strova.h"
#include "strova/capture/KeepProfiles.h"
#include "strova/filters/mpeg/MpegWriter.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace strova::mpeg;

namespace {

constexpr int kWidth = 720, kHeight = 576, kFps = 25;

double Cpu(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string Shell(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  char buf[512];
  size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  if (p) pclose(p);
  return out;
}

// A second of moving RGB pictures, made before timing so only encoding counts.
std::vector<std::vector<uint8_t>> Source() {
  std::vector<std::vector<uint8_t>> frames(kFps, std::vector<uint8_t>(size_t(kWidth) * kHeight * 3));
  uint32_t seed = 1;
  for (int n = 0; n < kFps; ++n)
    for (int i = 0; i < kWidth * kHeight; ++i) {
      seed = seed * 1664525u + 1013904223u;
      uint8_t* p = &frames[n][size_t(i) * 3];
      p[0] = static_cast<uint8_t>((i % kWidth + n * 8) ^ (seed >> 28));
      p[1] = static_cast<uint8_t>(i / kWidth + n * 3);
      p[2] = static_cast<uint8_t>(((i % kWidth) * (i / kWidth)) >> 7);
    }
  return frames;
}

struct Result {
  double cpuPerSecond;
  double wallPerSecond;
  int64_t dropped;
};

Result Ours(const std::vector<std::vector<uint8_t>>& frames, const VideoSettings& v, const AudioSettings& a,
            const MuxSettings& m, int seconds) {
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
  for (int i = 0; i < seconds * kFps; ++i) {
    w.WriteVideo({frames[i % kFps].data(), kWidth, kHeight, 0, PixelFormat::Rgb24}, i * 40000000LL);
    w.WriteAudio(pcm.data(), 1920, 48000, 2);
  }
  w.Close();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return {(Cpu(RUSAGE_SELF) - cpu0) / seconds, wall / seconds, w.FramesDropped()};
}

// ffmpeg encoding the same frames (looped from the raw file) and a tone.
// target: "-target NAME" or the encoder options of the same work.
double Reference(const std::string& raw, const std::string& target, const std::string& out, int seconds) {
  const double cpu0 = Cpu(RUSAGE_CHILDREN);
  const std::string cmd = "ffmpeg -v error -y -stream_loop -1 -f rawvideo -pix_fmt rgb24 -s " +
                          std::to_string(kWidth) + "x" + std::to_string(kHeight) + " -r 25 -i '" + raw +
                          "' -f lavfi -i sine=r=48000 -t " + std::to_string(seconds) + " " + target + " '" +
                          out + "'";
  if (std::system(cmd.c_str()) != 0) return NAN;
  return (Cpu(RUSAGE_CHILDREN) - cpu0) / seconds;
}

void SetValue(const char* name, int value) {
  plat::HKEY key = nullptr;
  if (plat::RegCreateKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Quorvel\\Tellura", &key) != plat::ERROR_SUCCESS)
    return;
  const uint32_t v = static_cast<uint32_t>(value);
  plat::RegSetValueExA(key, name, plat::REG_DWORD, reinterpret_cast<const uint8_t*>(&v), sizeof v);
  plat::RegCloseKey(key);
}

struct LibraryResult {
  double cpuPerSecond = NAN;
  int framesInFile = 0;
  int framesExpected = 0;
};

// One recording from the virtual card through the exports.
LibraryResult Library(int card, int captureMode, const std::string& path, int seconds) {
  SetValue("CaptureMode", captureMode);
  SetValue("bitstream", 6000);
  int sound = 1;
  Strova_SetCaptureAudio(card, &sound);
  Strova_SetCaptureFile(card, path.c_str());
  LibraryResult r;
  const double cpu0 = Cpu(RUSAGE_SELF);
  const auto t0 = std::chrono::steady_clock::now();
  if (Strova_StartCapture(card) != 1) return r;
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  Strova_StopCapture(card);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  r.cpuPerSecond = (Cpu(RUSAGE_SELF) - cpu0) / wall;
  r.framesExpected = seconds * kFps;
  r.framesInFile = std::atoi(Shell("ffprobe -v error -select_streams v:0 -count_packets -show_entries "
                                   "stream=nb_read_packets -of csv=p=0 '" + path + "'").c_str());
  return r;
}

// Keeps the bench's settings out of the user's own.
std::string PrivateFolder() {
  char tmpl[] = "/tmp/bench-record-XXXXXX";
  const char* dir = mkdtemp(tmpl);
  if (!dir) std::exit(1);
  for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) setenv(var, dir, 1);
  unsetenv("DISPLAY");
  return dir;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  const bool own = argc <= 2;
  const std::string dir = own ? PrivateFolder() : argv[2];
  const auto frames = Source();
  const std::string raw = dir + "/bench-source.rgb";
  {
    std::ofstream f(raw, std::ios::binary);
    for (const auto& fr : frames) f.write(reinterpret_cast<const char*>(fr.data()), std::streamsize(fr.size()));
  }
  struct Case {
    const char* name;
    std::string target;
    int captureMode;
    VideoSettings v;
    AudioSettings a;
    MuxSettings m;
    const char* ext;
  };
  const auto lossless = strova::capture::LosslessProfile(true, true, dir + "/bench.mkv");
  const auto h264 = strova::capture::H264Profile(true, true, 0.7, dir + "/bench.mp4");
  Case cases[] = {
      {"VCD", "-target pal-vcd", 1, {352, 288, 25, 1, false, 1120, 15, 3, {}, 1.0}, {true, 44100, 224}, {MuxType::Vcd, 2324, dir + "/bench-vcd.mpg", {}}, ".mpg"},
      {"DVD", "-target pal-dvd", 2, {720, 576, 25, 1, true, 6000, 6, 1, {}, 1.0}, {true, 48000, 224}, {MuxType::Dvd, 2048, dir + "/bench-dvd.mpg", {}}, ".mpg"},
      {"FFV1", "-pix_fmt yuv420p -c:v ffv1 -level 3 -slicecrc 1 -coder 1 -context 1 -slices 24 -g 1 -threads 2 "
               "-field_order tt -c:a pcm_s16le -ar 48000 -ac 2 -f matroska",
       4, lossless.video, lossless.audio, lossless.mux, ".mkv"},
      {"H264", "-pix_fmt yuv420p -c:v libx264 -preset veryfast -crf 22.5 -g 50 -bf 2 -profile:v high -threads 2 "
               "-c:a aac -b:a 192k -ar 48000 -ac 2 -movflags +empty_moov+frag_keyframe+default_base_moof -f mp4",
       5, h264.video, h264.audio, h264.mux, ".mp4"},
  };
  constexpr int kCases = 4;
  std::printf("encoder (%d s of prepared frames)\n", seconds);
  std::printf("%-4s %10s %10s %8s %14s %7s\n", "fmt", "cpu s/s", "wall s/s", "dropped", "ffmpeg cpu s/s", "ratio");
  double refs[kCases];
  for (int i = 0; i < kCases; ++i) {
    Case& c = cases[i];
    const Result r = Ours(frames, c.v, c.a, c.m, seconds);
    refs[i] = Reference(raw, c.target, dir + "/bench-ref" + c.ext, seconds);
    std::printf("%-4s %10.3f %10.3f %8lld %14.3f %7.2f\n", c.name, r.cpuPerSecond, r.wallPerSecond,
                static_cast<long long>(r.dropped), refs[i], r.cpuPerSecond / refs[i]);
  }
  if (Strova_Initialize() != S_OK) return 1;
  int count = 0;
  Strova_GetCardNumber(&count);
  const int card = count - 1;  // the virtual card
  if (card < 0 || Strova_ConnectDevice(card, 0, nullptr) != S_OK) return 1;
  std::printf("library (%d s from the virtual card, preview running)\n", seconds);
  std::printf("%-4s %10s %14s %14s %7s\n", "fmt", "cpu s/s", "frames/expected", "ffmpeg cpu s/s", "ratio");
  // AVI last: its 320 x 240 pictures are not the work of any reference here.
  for (int i = 0; i <= kCases; ++i) {
    const bool avi = i == kCases;
    const char* name = avi ? "AVI" : cases[i].name;
    const LibraryResult r = Library(card, avi ? 3 : cases[i].captureMode,
                                    dir + "/lib-" + name + (avi ? ".avi" : cases[i].ext), seconds);
    const double ref = avi ? NAN : refs[i];
    std::printf("%-4s %10.3f %7d/%-7d %14.3f %7.2f\n", name, r.cpuPerSecond, r.framesInFile, r.framesExpected, ref,
                r.cpuPerSecond / ref);
  }
  Strova_Uninitialize();
  if (own) std::filesystem::remove_all(dir);
  return 0;
}
