// The system calls the V4L2 card makes, behind an interface so tests can
// run the backend against a fake device.
#pragma once

#include <sys/types.h>

#include <memory>

namespace strova::card {

class V4l2Io {
 public:
  virtual ~V4l2Io() = default;
  virtual int Open(const char* path, int flags) = 0;
  virtual int Close(int fd) = 0;
  // Returns 0 or -1 with errno set, as ioctl(2).
  virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
  virtual ssize_t Read(int fd, void* buf, size_t len) = 0;
  virtual int Poll(int fd, int timeoutMs) = 0;  // > 0 when readable
};

// The real system calls.
std::shared_ptr<V4l2Io> SystemV4l2Io();

}  // namespace strova::card
