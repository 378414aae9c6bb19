// The single place a card backend is chosen.
#include "strova/card/Card.h"
#include "strova/card/V4l2Card.h"
#include "strova/card/VirtualCard.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace strova::card {
namespace {

class SystemIo : public V4l2Io {
 public:
  int Open(const char* path, int flags) override { return ::open(path, flags); }
  int Close(int fd) override { return ::close(fd); }
  int Ioctl(int fd, unsigned long request, void* arg) override { return ::ioctl(fd, request, arg); }
  ssize_t Read(int fd, void* buf, size_t len) override { return ::read(fd, buf, len); }
  int Poll(int fd, int timeoutMs) override {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs);
  }
};

std::string FixedString(const uint8_t* s, size_t max) {
  return std::string(reinterpret_cast<const char*>(s), strnlen(reinterpret_cast<const char*>(s), max));
}

// The card's rc-core receiver: /sys/class/video4linux/videoN/device/rc/rc*/input*/event*.
std::string RemoteEventPath(const std::string& devicePath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path rc = fs::path("/sys/class/video4linux") / fs::path(devicePath).filename() / "device/rc";
  for (const auto& r : fs::directory_iterator(rc, ec))
    for (const auto& in : fs::directory_iterator(r.path(), ec))
      if (in.path().filename().string().rfind("input", 0) == 0)
        for (const auto& ev : fs::directory_iterator(in.path(), ec))
          if (ev.path().filename().string().rfind("event", 0) == 0)
            return "/dev/input/" + ev.path().filename().string();
  return {};
}

// The card's own sound: /sys/class/video4linux/videoN/device/sound/cardM -> "hw:M".
std::string AlsaDevice(const std::string& devicePath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path snd = fs::path("/sys/class/video4linux") / fs::path(devicePath).filename() / "device/sound";
  for (const auto& c : fs::directory_iterator(snd, ec)) {
    const std::string name = c.path().filename().string();
    if (name.rfind("card", 0) == 0 && name.size() > 4) return "hw:" + name.substr(4);
  }
  return {};
}

}  // namespace

std::shared_ptr<V4l2Io> SystemV4l2Io() { return std::make_shared<SystemIo>(); }

std::vector<CardInfo> EnumerateCards() {
  std::vector<CardInfo> cards;
  auto io = SystemV4l2Io();
  for (int n = 0; n < 64; ++n) {
    const std::string path = "/dev/video" + std::to_string(n);
    const int fd = io->Open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    v4l2_capability cap{};
    if (io->Ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
      const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
      if (caps & V4L2_CAP_VIDEO_CAPTURE)
        cards.push_back({FixedString(cap.card, sizeof cap.card), path, false,
                         FixedString(cap.bus_info, sizeof cap.bus_info)});
    }
    io->Close(fd);
  }
  cards.push_back({kVirtualCardName, "", true, "virtual"});
  return cards;
}

std::string CardSoundDevice(const CardInfo& info) {
  return info.isVirtual || info.devicePath.empty() ? std::string() : AlsaDevice(info.devicePath);
}

std::unique_ptr<Card> OpenCard(const CardInfo& info, std::string* why) {
  if (info.isVirtual) return std::make_unique<VirtualCard>(info);
  return V4l2Card::Open(info, SystemV4l2Io(), RemoteEventPath(info.devicePath),
                        AlsaDevice(info.devicePath), why);
}

}  // namespace strova::card
