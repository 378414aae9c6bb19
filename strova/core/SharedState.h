// The camera selection table shared by every process that loads the library,
// and the per-boot state file that keeps it between processes: a named
// shared-memory segment (named after the state file, so each state folder
// has its own) and "Kestrune.cam" in the state folder.
#pragma once

#include "platform/SharedMemory.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace strova::core {

inline constexpr size_t kCameraBytes = 128;

struct SharedBlock {
  uint8_t camera[kCameraBytes];  // card * 4 + slot; initial 00 01 02 03 per card
  int32_t stateNotLoaded;        // 1 until a process has read or created the state file
  uint32_t ready;                // set by the creator once the block is filled
};

class SharedState {
 public:
  // Library load: maps the block, deletes a state file made before bootTime
  // (seconds since the epoch), and, first of all processes, reads the table
  // from the state file or creates it. Without a shared segment the table is
  // kept in this process alone.
  void Load(const std::string& statePath, uint64_t bootTime);
  // Library unload: writes the table to the state file (atomically).
  bool Unload();
  uint8_t* Camera() { return block_->camera; }
  bool Shared() const { return segment_.data() != nullptr; }
  const std::string& Path() const { return path_; }

 private:
  void ReadOrCreateFile();

  plat::SharedSegment segment_;
  SharedBlock local_{};
  SharedBlock* block_ = &local_;
  std::string path_;
};

// The segment name for a state file path.
std::string SegmentName(const std::string& statePath);

// The library's table: loaded once per process at the first Strova_Initialize
// (from plat::StateDir()), written when the process ends.
SharedState& LibraryState();

}  // namespace strova::core
