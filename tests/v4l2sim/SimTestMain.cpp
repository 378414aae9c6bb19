// The simulated card's tests run with the simulation preloaded: a test
// program started without it starts itself again with it (and with the
// sanitizer runtime first when it is a sanitized build).
#include "V4l2Sim.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#ifdef TELLURA_V4L2SIM_NEXT_MAIN
int TELLURA_V4L2SIM_NEXT_MAIN(int argc, char** argv);
#endif

int main(int argc, char** argv) {
  if (v4l2sim::CommandEntry() == nullptr && std::getenv("TELLURA_V4L2SIM_REEXEC") == nullptr) {
    setenv("TELLURA_V4L2SIM_REEXEC", "1", 1);
    setenv("LD_PRELOAD", TELLURA_V4L2SIM_PRELOAD, 1);
    setenv("TELLURA_V4L2SIM", "bttv,saa7134,em28xx,stk1160", 0);
    execv("/proc/self/exe", argv);
    std::perror("v4l2sim tests: exec");
    return 1;
  }
#ifdef TELLURA_V4L2SIM_NEXT_MAIN
  return TELLURA_V4L2SIM_NEXT_MAIN(argc, argv);  // a test program's own start (the wx loop)
#else
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
#endif
}
