// The simulated analogue capture card (libtellura_v4l2sim.so), loaded with
// LD_PRELOAD into the process that should see it.
//
//   TELLURA_V4L2SIM          personalities, comma separated, one node each:
//                            /dev/video0, /dev/video1, ... ("bttv" when empty;
//                            bttv, saa7134, em28xx, stk1160)
//   TELLURA_V4L2SIM_FAULTS   fault words every node starts with
//   TELLURA_V4L2SIM_NOSOUND  set: the nodes have no sound card (see SimSound.h)
//   TELLURA_V4L2SIM_CONTROL  a file whose words are applied (and the file
//                            removed) at the next frame of a streaming node
//
// Fault words: unplug, unplug@N, replug, stall, stall@N, resume, drop, drop@N,
// repeat, repeat@N, tsjump, tsjump@N (N counts the frames of the stream),
// zerosize, badlength, badfield, sane.
#pragma once

#include <dlfcn.h>

extern "C" {
// Applies fault words to node `device` (-1: every node). 0, or -1 when a
// word is unknown or the node does not exist.
int tellura_v4l2sim_command(int device, const char* words);
// Frames node `device` has handed to its reader; -1 when there is no such node.
long long tellura_v4l2sim_delivered(int device);
}

namespace v4l2sim {

// The command entry of the preloaded simulation, or null when it is not loaded.
inline int (*CommandEntry())(int, const char*) {
  return reinterpret_cast<int (*)(int, const char*)>(dlsym(RTLD_DEFAULT, "tellura_v4l2sim_command"));
}

// Frames delivered by a node of the preloaded simulation (-1: not loaded).
inline long long Delivered(int device) {
  auto entry = reinterpret_cast<long long (*)(int)>(dlsym(RTLD_DEFAULT, "tellura_v4l2sim_delivered"));
  return entry ? entry(device) : -1;
}

}  // namespace v4l2sim
