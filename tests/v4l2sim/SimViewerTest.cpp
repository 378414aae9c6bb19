// The viewer program on the simulated card, on an X server of its own: it
// connects to the card (its window takes the card's name), survives the card
// being unplugged while it previews, and ends cleanly on SIGTERM.
#include "SimTestUtil.h"

#include "platform/Window.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace {

using v4l2sim_test::WaitFor;

// The child's exit status once it has ended within ms, else -1.
int WaitExit(pid_t pid, int ms) {
  int status = 0;
  if (!WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, ms)) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(SimViewer, RunsOnTheCardAndSurvivesItsUnplug) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X server";
  tellura::test::ScopedHome home;
  const std::string control = home.path("sim-control");
  const std::string errors = home.path("viewer-errors.txt");
  // One node for the viewer: the saa7134, which refuses changes while streaming.
  setenv("TELLURA_V4L2SIM", "saa7134", 1);
  setenv("TELLURA_V4L2SIM_CONTROL", control.c_str(), 1);
  const std::string program = std::string(TELLURA_V4L2SIM_BIN) + "/orvane";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);

  EXPECT_TRUE(WaitFor([] { return plat::FindWindowA(nullptr, "SAA7134 TV card (simulated)") != nullptr; }, 60000))
      << "the viewer's window takes the connected card's name";
  // The frame thread takes the words once the viewer streams.
  {
    std::ofstream(control + ".new") << "unplug";
    std::filesystem::rename(control + ".new", control);
  }
  EXPECT_TRUE(WaitFor([&] { return !std::filesystem::exists(control); }, 20000)) << "the card was streaming";
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the viewer handles the notification
  EXPECT_EQ(WaitExit(pid, 0), -1) << "still running after the unplug";
  kill(pid, SIGTERM);
  const int status = WaitExit(pid, 30000);
  if (status < 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
  EXPECT_EQ(status, 0) << v4l2sim_test::Shell("cat '" + errors + "'").output;
}

}  // namespace
