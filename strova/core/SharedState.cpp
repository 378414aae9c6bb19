#include "strova/core/SharedState.h"

#include "platform/Clock.h"
#include "platform/Paths.h"
#include "strova/card/CardBinding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

namespace strova::core {
namespace {

constexpr uint32_t kReady = 0x4B455354;  // "KEST"

void FillInitial(SharedBlock* b) {
  for (size_t i = 0; i < kCameraBytes; ++i) b->camera[i] = static_cast<uint8_t>(i % 4);
  b->stateNotLoaded = 1;
}

// When the file was made: its birth time where the file system keeps one,
// and never later than its last change.
bool CreatedAt(const std::string& path, int64_t* seconds) {
  struct statx sx {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) return false;
  int64_t t = sx.stx_mtime.tv_sec;
  if ((sx.stx_mask & STATX_BTIME) && sx.stx_btime.tv_sec < t) t = sx.stx_btime.tv_sec;
  *seconds = t;
  return true;
}

}  // namespace

std::string SegmentName(const std::string& statePath) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char ch : statePath) h = (h ^ ch) * 1099511628211ull;
  char name[40];
  std::snprintf(name, sizeof name, "strova-%016llx", static_cast<unsigned long long>(h));
  return name;
}

void SharedState::Load(const std::string& statePath, uint64_t bootTime) {
  path_ = statePath;
  block_ = &local_;
  FillInitial(&local_);
  if (segment_.Open(SegmentName(statePath), sizeof(SharedBlock))) {
    block_ = static_cast<SharedBlock*>(segment_.data());
    if (segment_.created()) {
      FillInitial(block_);
      __atomic_store_n(&block_->ready, kReady, __ATOMIC_RELEASE);
    }
    // Another process is filling a block it has just made.
    for (int i = 0; i < 500 && __atomic_load_n(&block_->ready, __ATOMIC_ACQUIRE) != kReady; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (__atomic_load_n(&block_->ready, __ATOMIC_ACQUIRE) != kReady) {
      FillInitial(block_);
      __atomic_store_n(&block_->ready, kReady, __ATOMIC_RELEASE);
    }
  }
  int64_t created = 0;
  if (bootTime && CreatedAt(path_, &created) && created < static_cast<int64_t>(bootTime)) ::unlink(path_.c_str());
  if (block_->stateNotLoaded) {
    ReadOrCreateFile();
    block_->stateNotLoaded = 0;
  }
}

void SharedState::ReadOrCreateFile() {
  std::ifstream in(path_, std::ios::binary);
  char bytes[kCameraBytes];
  if (in && in.read(bytes, sizeof bytes) && in.gcount() == static_cast<std::streamsize>(sizeof bytes)) {
    std::memcpy(block_->camera, bytes, sizeof bytes);
    return;
  }
  // Missing or short: the current table becomes the file. A failure leaves
  // the table as it is; nothing is reported.
  Unload();
}

bool SharedState::Unload() {
  if (path_.empty()) return false;
  const std::string data(reinterpret_cast<const char*>(block_->camera), kCameraBytes);
  return plat::AtomicWriteFile(path_, data);
}

namespace {

// Writes the table when the process ends, if it was loaded.
struct LibraryStateHolder {
  SharedState state;
  std::once_flag loaded;
  bool active = false;
  ~LibraryStateHolder() {
    if (!active) return;
    state.Unload();
    card::SetCameraTable(nullptr);
  }
};

LibraryStateHolder& Holder() {
  static LibraryStateHolder holder;
  return holder;
}

}  // namespace

SharedState& LibraryState() {
  LibraryStateHolder& h = Holder();
  std::call_once(h.loaded, [&h] {
    h.state.Load(plat::StateDir() + "Kestrune.cam", plat::BootTime());
    card::SetCameraTable(h.state.Camera());
    h.active = true;
  });
  return h.state;
}

}  // namespace strova::core
