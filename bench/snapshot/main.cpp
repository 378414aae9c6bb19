// Snapshot latency through the product's own path: Strova_SaveToBmpFile on
// the virtual card's running preview (the still grabber's newest frame made
// into a DIB and written atomically), median of 50, beside a plain
// write+fsync of a file of the same size made in the same run.
//   bench-snapshot [folder]   (headless: the preview renders into nothing)
#include "strova/Strova.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Ms(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

double PlainWrite(const std::string& path, const std::vector<char>& bytes) {
  const auto t0 = Clock::now();
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    (void)n;
    ::fsync(fd);
    ::close(fd);
  }
  return Ms(t0);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "/tmp";
  unsetenv("DISPLAY");
  int count = 0;
  if (Strova_Initialize() != S_OK || Strova_GetCardNumber(&count) != S_OK || count < 1) return 1;
  const int card = count - 1;  // the virtual card
  if (Strova_ConnectDevice(card, 0, nullptr) != S_OK) return 1;
  const std::string shot = dir + "/bench-snapshot.bmp";
  // The first frames reach the still grabber shortly after the start.
  struct stat st {};
  for (int i = 0; i < 100 && (::stat(shot.c_str(), &st) != 0 || st.st_size == 0); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Strova_SaveToBmpFile(card, shot.c_str());
  }
  if (::stat(shot.c_str(), &st) != 0) return 1;
  std::vector<char> bytes(static_cast<size_t>(st.st_size), 7);
  std::vector<double> ours, plain;
  for (int i = 0; i < 50; ++i) {
    // A new frame each time, as when the user presses the key again.
    std::this_thread::sleep_for(std::chrono::milliseconds(45));
    const auto t0 = Clock::now();
    Strova_SaveToBmpFile(card, shot.c_str());
    ours.push_back(Ms(t0));
    plain.push_back(PlainWrite(dir + "/bench-plain.bin", bytes));
  }
  Strova_Uninitialize();
  const double a = Median(ours), b = Median(plain);
  std::printf("snapshot %lld bytes: median %.2f ms; plain write+fsync %.2f ms; ratio %.2f (target < 15 ms)\n",
              static_cast<long long>(st.st_size), a, b, a / b);
  return 0;
}
