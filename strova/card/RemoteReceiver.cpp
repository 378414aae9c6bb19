#include "strova/card/RemoteReceiver.h"

#include "strova/card/RemoteProtocol.h"

#include <cerrno>
#include <cstring>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace strova::card {
namespace {

bool FillAddress(const std::string& path, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// True when another live receiver already owns the socket path.
bool PathInUse(const sockaddr_un& addr) {
  const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return true;
  const bool inUse = connect(probe, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  close(probe);
  return inUse;
}

}  // namespace

RemoteReceiver::RemoteReceiver(std::string path) : path_(std::move(path)) {
  sockaddr_un addr;
  if (!FillAddress(path_, addr)) return;
  if (auto slash = path_.rfind('/'); slash != std::string::npos && slash > 0)
    mkdir(path_.substr(0, slash).c_str(), 0700);
  fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  const auto* sa = reinterpret_cast<const sockaddr*>(&addr);
  if (bind(fd_, sa, sizeof addr) == 0) return;
  if (errno == EADDRINUSE && !PathInUse(addr)) {
    unlink(path_.c_str());  // stale socket left by a process that died
    if (bind(fd_, sa, sizeof addr) == 0) return;
  }
  close(fd_);
  fd_ = -1;
}

RemoteReceiver::~RemoteReceiver() {
  if (fd_ < 0) return;
  close(fd_);
  unlink(path_.c_str());
}

void RemoteReceiver::Drain(const std::function<void(uint16_t)>& onKey) {
  if (fd_ < 0) return;
  char buf[kRemoteMessageMax + 1];
  for (int i = 0; i < kMaxPerDrain; ++i) {
    const ssize_t n = recv(fd_, buf, sizeof buf, MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // EAGAIN: nothing more waiting
    }
    if (n == 0 || size_t(n) > kRemoteMessageMax) continue;  // empty or oversized
    if (auto code = ParseRemoteMessage(std::string_view(buf, size_t(n)))) onKey(*code);
  }
}

}  // namespace strova::card
