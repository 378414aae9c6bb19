// The C library's own calls, for the simulation's internal use (never
// through its interposers).
#pragma once

#include <sys/types.h>

namespace v4l2sim::real {

int Close(int fd);
ssize_t Read(int fd, void* buf, size_t len);
ssize_t Write(int fd, const void* buf, size_t len);
int Dup(int fd);
void* Mmap(void* addr, size_t len, int prot, int flags, int fd, off_t offset);
int Munmap(void* addr, size_t len);

}  // namespace v4l2sim::real
