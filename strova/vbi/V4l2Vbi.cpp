// A V4L2 card's raw VBI, read with read() as VBI devices offer it.
#include "strova/vbi/VbiService.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace strova::vbi {
namespace {

int Ioctl(int fd, unsigned long request, void* arg) {
  int r;
  do r = ioctl(fd, request, arg);
  while (r < 0 && errno == EINTR);
  return r;
}

// The node's raw VBI format, or false when it captures none.
bool ReadFormat(int fd, VbiFormat* format) {
  v4l2_capability cap{};
  if (Ioctl(fd, VIDIOC_QUERYCAP, &cap) < 0) return false;
  const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
  if (!(caps & V4L2_CAP_VBI_CAPTURE) || !(caps & V4L2_CAP_READWRITE)) return false;
  v4l2_format fmt{};
  fmt.type = V4L2_BUF_TYPE_VBI_CAPTURE;
  if (Ioctl(fd, VIDIOC_G_FMT, &fmt) < 0 || fmt.fmt.vbi.sample_format != V4L2_PIX_FMT_GREY) return false;
  const v4l2_vbi_format& v = fmt.fmt.vbi;
  VbiFormat f;
  f.samplingRate = int(v.sampling_rate);
  f.offset = int(v.offset);
  f.samplesPerLine = int(v.samples_per_line);
  for (int i = 0; i < 2; ++i) f.start[i] = int(v.start[i]), f.count[i] = int(v.count[i]);
  f.interlaced = v.flags & V4L2_VBI_INTERLACED;
  f.synchronous = !(v.flags & V4L2_VBI_UNSYNC);
  // 525-line VBI starts at line 10 or earlier in the first field, 625-line at 6 or 7.
  f.scanning = (f.start[1] > 0 && f.start[1] < 300) ? 525 : 625;
  *format = f;
  return f.Valid();
}

std::string BusInfo(int fd) {
  v4l2_capability cap{};
  if (Ioctl(fd, VIDIOC_QUERYCAP, &cap) < 0) return {};
  return reinterpret_cast<const char*>(cap.bus_info);
}

class V4l2VbiSource : public VbiSource {
 public:
  V4l2VbiSource(int fd, const VbiFormat& f) : fd_(fd), format_(f) {}
  ~V4l2VbiSource() override { close(fd_); }

  bool Read(VbiFrame& frame, int timeoutMs) override {
    pollfd p{fd_, POLLIN, 0};
    const int r = poll(&p, 1, timeoutMs);
    if (r < 0 && errno != EINTR) failed_ = true;
    if (r <= 0) return false;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return failed_ = true, false;
    frame.format = format_;
    frame.samples.resize(format_.FrameBytes());
    const ssize_t n = read(fd_, frame.samples.data(), frame.samples.size());
    if (n < 0) {
      if (errno != EAGAIN && errno != EINTR) failed_ = true;
      return false;
    }
    if (size_t(n) < frame.samples.size()) return false;  // a short frame is dropped
    frame.time = Now();
    frame.channel = Channel();
    return true;
  }
  bool Failed() const override { return failed_; }

 private:
  // Input and tuned frequency; a node without a tuner gives 0 for the latter.
  uint64_t Channel() const {
    int input = 0;
    Ioctl(fd_, VIDIOC_G_INPUT, &input);
    v4l2_frequency freq{};
    if (Ioctl(fd_, VIDIOC_G_FREQUENCY, &freq) < 0) freq.frequency = 0;
    return uint64_t(uint32_t(input)) << 40 | freq.frequency;
  }

  int fd_;
  VbiFormat format_;
  bool failed_ = false;
};

std::unique_ptr<VbiSource> Open(const std::string& path, const std::string& busInfo) {
  const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  VbiFormat f;
  if ((busInfo.empty() || BusInfo(fd) == busInfo) && ReadFormat(fd, &f))
    return std::make_unique<V4l2VbiSource>(fd, f);
  close(fd);
  return nullptr;
}

}  // namespace

std::unique_ptr<VbiSource> OpenV4l2Vbi(const std::string& devicePath, const std::string& busInfo) {
  if (DIR* dir = opendir("/dev")) {
    std::unique_ptr<VbiSource> found;
    while (dirent* e = readdir(dir)) {
      if (std::strncmp(e->d_name, "vbi", 3) != 0 || busInfo.empty()) continue;
      if ((found = Open(std::string("/dev/") + e->d_name, busInfo))) break;
    }
    closedir(dir);
    if (found) return found;
  }
  return devicePath.empty() ? nullptr : Open(devicePath, "");
}

}  // namespace strova::vbi
