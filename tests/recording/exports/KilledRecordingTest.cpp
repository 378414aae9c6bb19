// Recordings cut off by a killed process: the MPEG file plays and seeks as
// written; the AVI file, which has no index then, is repaired when the
// library next starts (also with its last part missing, as after a power cut).
#include "../RecordingTestUtil.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "strova/Strova.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

using recording_test::Shell;
namespace fs = std::filesystem;

namespace {

double Duration(const std::string& path) {
  const std::string out = Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "' 2>&1");
  return std::atof(out.c_str());
}

template <class Pred>
bool WaitUntil(Pred done, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool NotesLeft() {
  const fs::path dir = plat::StateDir() + "recordings";
  if (!fs::exists(dir)) return false;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".rec") return true;
  return false;
}

// Records `file` in a child process with capture mode `mode`; the child says
// how long it has recorded and is killed with SIGKILL. Returns that time.
double RecordAndKill(const std::string& file, int mode) {
  const std::string self = fs::read_symlink("/proc/self/exe");
  setenv("TELLURA_KILL_FILE", file.c_str(), 1);
  setenv("TELLURA_KILL_MODE", std::to_string(mode).c_str(), 1);
  const char* argv[] = {self.c_str(), "--gtest_filter=KilledRecording.Child", nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
  unsetenv("TELLURA_KILL_FILE");
  const std::string ready = file + ".ready";
  const bool started = WaitUntil([&] { return fs::exists(ready); }, 60000);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  if (!started) return -1;
  double seconds = 0;
  std::ifstream(ready) >> seconds;
  return seconds;
}

}  // namespace

// The child: records until it is killed.
TEST(KilledRecording, Child) {
  const char* file = std::getenv("TELLURA_KILL_FILE");
  if (!file) GTEST_SKIP() << "run by the tests below";
  unsetenv("DISPLAY");
  ASSERT_EQ(Strova_Initialize(), S_OK);
  plat::HKEY key = nullptr;
  plat::RegCreateKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Quorvel\\Tellura", &key);
  const uint32_t mode = uint32_t(std::atoi(std::getenv("TELLURA_KILL_MODE")));
  plat::RegSetValueExA(key, "CaptureMode", plat::REG_DWORD, reinterpret_cast<const uint8_t*>(&mode), sizeof mode);
  plat::RegCloseKey(key);
  int count = 0;
  Strova_GetCardNumber(&count);
  ASSERT_EQ(Strova_ConnectDevice(count - 1, 0, nullptr), S_OK);
  int sound = 1;
  Strova_SetCaptureAudio(count - 1, &sound);
  Strova_SetCaptureFile(count - 1, file);
  ASSERT_EQ(Strova_StartCapture(count - 1), 1);
  const auto start = std::chrono::steady_clock::now();
  // Until the file holds two seconds' worth of data the encoders may still buffer.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::ofstream(std::string(file) + ".ready.tmp") << seconds;
  fs::rename(std::string(file) + ".ready.tmp", std::string(file) + ".ready");
  std::this_thread::sleep_for(std::chrono::seconds(60));
}

TEST(KilledRecording, MpegPlaysAndSeeksAsWritten) {
  tellura::test::ScopedHome home;
  const std::string file = home.path("cut.mpg");
  const double recorded = RecordAndKill(file, 1);
  ASSERT_GT(recorded, 0) << "the child did not start recording";
  EXPECT_GT(Duration(file), recorded - 1.0) << "at most a second lost";
  // Seeks into the file and decodes (the last, cut packet may warn).
  EXPECT_EQ(Shell("ffmpeg -v error -ss 1 -i '" + file + "' -frames:v 1 -f null - >/dev/null 2>&1; echo rc=$?"), "rc=0\n");
}

TEST(KilledRecording, AviIsRepairedAtTheNextStart) {
  tellura::test::ScopedHome home;
  const std::string file = home.path("cut.avi"), cut = home.path("tail.avi");
  const double recorded = RecordAndKill(file, 3);
  ASSERT_GT(recorded, 0) << "the child did not start recording";
  EXPECT_LE(Duration(file), 0.0) << "no index before the repair";
  // A second interrupted recording whose last part never reached the disk.
  fs::copy_file(file, cut);
  fs::resize_file(cut, fs::file_size(cut) * 2 / 3 + 1234);
  std::ofstream(plat::StateDir() + "recordings/1-1.rec") << "999999999\n" << cut << "\n";
  ASSERT_EQ(Strova_Initialize(), S_OK);
  EXPECT_TRUE(WaitUntil([] { return !NotesLeft(); }, 60000)) << "the notes are struck off once repaired";
  Strova_Uninitialize();
  EXPECT_GT(Duration(file), recorded - 1.0);
  EXPECT_GT(Duration(cut), 0.5);
  EXPECT_LT(Duration(cut), Duration(file));
  for (const auto& e : fs::directory_iterator(home.path("")))
    EXPECT_EQ(e.path().string().find(".repair"), std::string::npos) << e.path();
}
