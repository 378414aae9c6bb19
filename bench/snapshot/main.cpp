// Snapshot latency: from the request for the newest frame to the closed BMP
// file, median of 50 at 640 x 480, next to a plain write+fsync of the same
// bytes.  Usage: bench-snapshot [folder]
#include "strova/still/StillFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace strova::still;
using Clock = std::chrono::steady_clock;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Ms(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "/tmp";
  std::vector<uint8_t> px(640 * 480 * 3);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 7);
  StillGrabber grabber;
  std::vector<double> ours, plain;
  for (int i = 0; i < 50; ++i) {
    grabber.Push({px.data(), 640, 480, 0, PixelFormat::Rgb24});
    auto t0 = Clock::now();
    std::vector<uint8_t> dib(static_cast<size_t>(grabber.DibSize()));
    grabber.CopyDib(dib.data(), dib.size());
    WriteBmpFile(dir + "/bench-snapshot.bmp", dib);
    ours.push_back(Ms(t0));

    t0 = Clock::now();
    int fd = ::open((dir + "/bench-plain.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      ssize_t n = ::write(fd, dib.data(), dib.size());
      (void)n;
      ::fsync(fd);
      ::close(fd);
    }
    plain.push_back(Ms(t0));
  }
  const double a = Median(ours), b = Median(plain);
  std::printf("snapshot 640x480: median %.2f ms; plain write+fsync %.2f ms; ratio %.2f (target < 15 ms)\n", a, b, a / b);
  return 0;
}
