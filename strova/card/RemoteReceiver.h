// The virtual card's IR receiver: a non-blocking datagram socket under
// $XDG_RUNTIME_DIR/quorvel/ that tellura-remote writes key codes to.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace strova::card {

class RemoteReceiver {
 public:
  explicit RemoteReceiver(std::string path);
  ~RemoteReceiver();
  RemoteReceiver(const RemoteReceiver&) = delete;
  RemoteReceiver& operator=(const RemoteReceiver&) = delete;

  bool Listening() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // Reads what is waiting without blocking (at most a bounded number of
  // datagrams per call, so a flood cannot stall the caller) and hands each
  // valid key code on; garbage is dropped.
  void Drain(const std::function<void(uint16_t)>& onKey);

  static constexpr int kMaxPerDrain = 256;

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace strova::card
