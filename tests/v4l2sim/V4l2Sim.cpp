// The system-call interposers: calls on the simulated nodes go to their
// Device, every other call to the C library unchanged.
#include "V4l2Sim.h"

#include "SimDevice.h"
#include "SimReal.h"
#include "SimSound.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <unordered_map>

// The next definition of a C library call after this library's own.
template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
#define REAL(fn) static const auto real_##fn = Next<decltype(&::fn)>(#fn)

namespace v4l2sim {
namespace {


struct Open {
  Device* device;
  int handle;
};

std::mutex& TableMutex() {
  static std::mutex m;
  return m;
}
std::unordered_map<int, Open>& Table() {
  static auto* t = new std::unordered_map<int, Open>;
  return *t;
}
std::unordered_map<int, int>& Refs() {  // handle -> descriptors naming it
  static auto* r = new std::unordered_map<int, int>;
  return *r;
}
std::atomic<int> openCount{0};

bool Lookup(int fd, Open* out) {
  if (fd < 0 || openCount.load(std::memory_order_relaxed) == 0) return false;
  std::lock_guard lock(TableMutex());
  const auto it = Table().find(fd);
  if (it == Table().end()) return false;
  *out = it->second;
  return true;
}

void Track(int fd, Open o) {
  std::lock_guard lock(TableMutex());
  Table()[fd] = o;
  ++Refs()[o.handle];
  ++openCount;
}

// Forgets fd; true (with the handle) when it was the last descriptor of it.
bool Untrack(int fd, Open* o) {
  std::lock_guard lock(TableMutex());
  const auto it = Table().find(fd);
  if (it == Table().end()) return false;
  *o = it->second;
  Table().erase(it);
  --openCount;
  return --Refs()[o->handle] == 0 && Refs().erase(o->handle);
}

int OpenSim(const char* path, int flags) {
  Device* d = DeviceForPath(path);
  int handle = -1;
  const int fd = d->OpenHandle(flags, &handle);
  if (fd >= 0) Track(fd, {d, handle});
  return fd;
}

int FillStat(Device* d, struct stat* st) {
  if (st == nullptr) {
    errno = EFAULT;
    return -1;
  }
  std::memset(st, 0, sizeof *st);
  st->st_mode = S_IFCHR | 0660;
  st->st_nlink = 1;
  st->st_rdev = makedev(81, unsigned(std::strtoul(d->Path().c_str() + 10, nullptr, 10)));
  st->st_blksize = 4096;
  return 0;
}

int StatSim(const char* path, struct stat* st, bool* handled) {
  Device* d = path ? DeviceForPath(path) : nullptr;
  *handled = d != nullptr;
  if (!d) return 0;
  if (!d->Present()) {
    errno = ENOENT;
    return -1;
  }
  return FillStat(d, st);
}

// A node that went away polls as the kernel's does: error and hang-up.
void MarkGone(pollfd* fds, nfds_t n, int* ready) {
  if (*ready < 0 || openCount.load(std::memory_order_relaxed) == 0) return;
  for (nfds_t i = 0; i < n; ++i) {
    Open o;
    if (!Lookup(fds[i].fd, &o) || o.device->Present()) continue;
    if (fds[i].revents == 0) ++*ready;
    fds[i].revents |= POLLERR | POLLHUP | (fds[i].events & POLLPRI);
  }
}

}  // namespace

namespace real {
int Close(int fd) {
  REAL(close);
  return real_close(fd);
}
ssize_t Read(int fd, void* buf, size_t len) {
  REAL(read);
  return real_read(fd, buf, len);
}
ssize_t Write(int fd, const void* buf, size_t len) {
  REAL(write);
  return real_write(fd, buf, len);
}
int Dup(int fd) {
  REAL(dup);
  return real_dup(fd);
}
void* Mmap(void* addr, size_t len, int prot, int flags, int fd, off_t offset) {
  REAL(mmap);
  return real_mmap(addr, len, prot, flags, fd, offset);
}
int Munmap(void* addr, size_t len) {
  REAL(munmap);
  return real_munmap(addr, len);
}
}  // namespace real

std::vector<Device*>& Devices() {
  static std::vector<Device*>* devices = [] {
    auto* v = new std::vector<Device*>;
    const char* env = std::getenv("TELLURA_V4L2SIM");
    std::string list = env && *env ? env : "bttv";
    for (char& c : list)
      if (c == ',') c = ' ';
    std::istringstream in(list);
    std::string name;
    while (in >> name) {
      const Personality* p = FindPersonality(name);
      if (p == nullptr) {
        const std::string msg = "v4l2sim: unknown personality '" + name + "' (known: " + PersonalityNames() + ")\n";
        real::Write(2, msg.data(), msg.size());
        continue;
      }
      v->push_back(new Device(int(v->size()), *p));  // kept to the end of the process
    }
    return v;
  }();
  return *devices;
}

Device* DeviceForPath(const char* path) {
  if (path == nullptr || std::strncmp(path, "/dev/video", 10) != 0) return nullptr;
  for (Device* d : Devices())
    if (d->Path() == path) return d;
  return nullptr;
}

}  // namespace v4l2sim

using v4l2sim::Open;

extern "C" {

__attribute__((visibility("default"))) int tellura_v4l2sim_command(int device, const char* words) {
  auto& all = v4l2sim::Devices();
  if (words == nullptr || device >= int(all.size())) return -1;
  bool ok = true;
  for (int i = 0; i < int(all.size()); ++i)
    if (device < 0 || device == i) ok = all[size_t(i)]->Command(words) && ok;
  return ok ? 0 : -1;
}

__attribute__((visibility("default"))) long long tellura_v4l2sim_delivered(int device) {
  auto& all = v4l2sim::Devices();
  return device >= 0 && device < int(all.size()) ? all[size_t(device)]->Delivered() : -1;
}

// The body of the open calls: the mode is there only with O_CREAT or
// O_TMPFILE; a simulated node opens without the C library.
#define SIM_OPEN_BODY(realname, ...)                              \
  mode_t mode = 0;                                                \
  if (flags & (O_CREAT | O_TMPFILE)) {                            \
    va_list ap;                                                   \
    va_start(ap, flags);                                          \
    mode = mode_t(va_arg(ap, int));                               \
    va_end(ap);                                                   \
  }                                                               \
  if (v4l2sim::DeviceForPath(path)) return v4l2sim::OpenSim(path, flags); \
  const std::string sound = v4l2sim::SimSoundFolder(path);        \
  if (!sound.empty()) path = sound.c_str();                       \
  REAL(realname);                                                 \
  return real_##realname(__VA_ARGS__ path, flags, mode)

int open(const char* path, int flags, ...) { SIM_OPEN_BODY(open, ); }
int open64(const char* path, int flags, ...) { SIM_OPEN_BODY(open64, ); }

int openat(int dirfd, const char* path, int flags, ...) { SIM_OPEN_BODY(openat, dirfd, ); }
int openat64(int dirfd, const char* path, int flags, ...) { SIM_OPEN_BODY(openat64, dirfd, ); }

// The fortified entry points glibc's headers call with _FORTIFY_SOURCE.
int __open_2(const char* path, int flags) { return open(path, flags); }
int __open64_2(const char* path, int flags) { return open64(path, flags); }
int __openat_2(int dirfd, const char* path, int flags) { return openat(dirfd, path, flags); }
int __openat64_2(int dirfd, const char* path, int flags) { return openat64(dirfd, path, flags); }

DIR* opendir(const char* path) {
  const std::string sound = v4l2sim::SimSoundFolder(path);
  REAL(opendir);
  return real_opendir(sound.empty() ? path : sound.c_str());
}

int close(int fd) {
  Open o;
  const bool last = v4l2sim::Untrack(fd, &o);
  REAL(close);
  const int r = real_close(fd);
  if (last) o.device->CloseHandle(o.handle);
  return r;
}

static int DupSim(int from, int to) {
  Open o;
  if (to >= 0 && to != from) {
    Open old;
    if (v4l2sim::Untrack(to, &old)) old.device->CloseHandle(old.handle);
  }
  if (to >= 0 && v4l2sim::Lookup(from, &o)) v4l2sim::Track(to, o);
  return to;
}

int dup(int fd) __THROW {
  REAL(dup);
  return DupSim(fd, real_dup(fd));
}

int dup2(int fd, int fd2) __THROW {
  REAL(dup2);
  const int r = real_dup2(fd, fd2);
  return r == fd ? r : DupSim(fd, r);
}

int dup3(int fd, int fd2, int flags) __THROW {
  REAL(dup3);
  return DupSim(fd, real_dup3(fd, fd2, flags));
}

int ioctl(int fd, unsigned long request, ...) __THROW {
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  Open o;
  if (v4l2sim::Lookup(fd, &o)) return o.device->Ioctl(o.handle, request, arg);
  REAL(ioctl);
  return real_ioctl(fd, request, arg);
}

ssize_t read(int fd, void* buf, size_t len) {
  Open o;
  if (v4l2sim::Lookup(fd, &o)) return o.device->Read(o.handle, buf, len);
  REAL(read);
  return real_read(fd, buf, len);
}

static void* MmapSim(const Open& o, void* addr, size_t len, int prot, int flags, off_t offset) {
  int memFd = -1;
  if (!o.device->MapOffset(o.handle, offset, len, &memFd)) {
    errno = EINVAL;
    return MAP_FAILED;
  }
  return v4l2sim::real::Mmap(addr, len, prot, flags, memFd, offset);
}

void* mmap(void* addr, size_t len, int prot, int flags, int fd, off_t offset) __THROW {
  Open o;
  if (v4l2sim::Lookup(fd, &o)) return MmapSim(o, addr, len, prot, flags, offset);
  return v4l2sim::real::Mmap(addr, len, prot, flags, fd, offset);
}

void* mmap64(void* addr, size_t len, int prot, int flags, int fd, off64_t offset) __THROW {
  return mmap(addr, len, prot, flags, fd, off_t(offset));
}

int poll(pollfd* fds, nfds_t n, int timeout) {
  REAL(poll);
  int r = real_poll(fds, n, timeout);
  v4l2sim::MarkGone(fds, n, &r);
  return r;
}

int ppoll(pollfd* fds, nfds_t n, const timespec* timeout, const sigset_t* mask) {
  REAL(ppoll);
  int r = real_ppoll(fds, n, timeout, mask);
  v4l2sim::MarkGone(fds, n, &r);
  return r;
}

// A simulated node answers for itself; every other path goes to the C library.
extern "C++" {
template <typename St, typename Real>
static int StatOr(const char* path, St* st, Real real) {
  bool handled;
  const int r = v4l2sim::StatSim(path, reinterpret_cast<struct stat*>(st), &handled);
  return handled ? r : real();
}
}

int stat(const char* path, struct stat* st) __THROW {
  REAL(stat);
  return StatOr(path, st, [&] { return real_stat(path, st); });
}
int stat64(const char* path, struct stat64* st) __THROW {
  REAL(stat64);
  return StatOr(path, st, [&] { return real_stat64(path, st); });
}
int lstat(const char* path, struct stat* st) __THROW {
  REAL(lstat);
  return StatOr(path, st, [&] { return real_lstat(path, st); });
}
int lstat64(const char* path, struct stat64* st) __THROW {
  REAL(lstat64);
  return StatOr(path, st, [&] { return real_lstat64(path, st); });
}
int fstatat(int dirfd, const char* path, struct stat* st, int flags) __THROW {
  REAL(fstatat);
  return StatOr(path, st, [&] { return real_fstatat(dirfd, path, st, flags); });
}
int fstatat64(int dirfd, const char* path, struct stat64* st, int flags) __THROW {
  REAL(fstatat64);
  return StatOr(path, st, [&] { return real_fstatat64(dirfd, path, st, flags); });
}

int fstat(int fd, struct stat* st) __THROW {
  Open o;
  if (v4l2sim::Lookup(fd, &o)) return v4l2sim::FillStat(o.device, st);
  REAL(fstat);
  return real_fstat(fd, st);
}

int fstat64(int fd, struct stat64* st) __THROW {
  Open o;
  if (v4l2sim::Lookup(fd, &o)) return v4l2sim::FillStat(o.device, reinterpret_cast<struct stat*>(st));
  REAL(fstat64);
  return real_fstat64(fd, st);
}

}  // extern "C"
