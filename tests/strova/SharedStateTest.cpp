// The process-shared camera table and its per-boot state file, across two
// real processes.
#include "strova/core/SharedState.h"

#include "platform/Clock.h"
#include "platform/SharedMemory.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace {

using strova::core::kCameraBytes;
using strova::core::SharedState;

std::string Pattern() {
  std::string p;
  for (size_t i = 0; i < kCameraBytes; ++i) p += static_cast<char>(i % 4);
  return p;
}

std::string TableOf(SharedState& s) { return std::string(reinterpret_cast<const char*>(s.Camera()), kCameraBytes); }

// Runs f in a forked child; its result is the child's exit status.
template <typename F>
int InChild(F f) {
  const pid_t pid = fork();
  if (pid == 0) _exit(f());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SharedStateTest : public ::testing::Test {
 protected:
  void TearDown() override { plat::SharedSegment::Unlink(strova::core::SegmentName(path_)); }
  tellura::test::ScopedHome home_;
  const std::string path_ = home_.path("state/Kestrune.cam");
  const uint64_t boot_ = plat::BootTime();
};

TEST_F(SharedStateTest, FirstLoadCreatesTheFileWithTheInitialPattern) {
  SharedState s;
  s.Load(path_, boot_);
  EXPECT_TRUE(s.Shared());
  EXPECT_EQ(TableOf(s), Pattern());
  EXPECT_EQ(tellura::test::ReadFile(path_), Pattern());
  s.Camera()[5] = 9;
  ASSERT_TRUE(s.Unload());
  const std::string written = tellura::test::ReadFile(path_);
  ASSERT_EQ(written.size(), kCameraBytes);
  EXPECT_EQ(written[5], 9);
}

TEST_F(SharedStateTest, FileOfThisBootIsReadAndOneFromBeforeIsDeleted) {
  std::string saved = Pattern();
  saved[0] = 31;
  ASSERT_TRUE(tellura::test::WriteFile(path_, saved));
  {
    SharedState s;
    s.Load(path_, boot_);
    EXPECT_EQ(TableOf(s), saved);  // made after the boot: kept and read
  }
  plat::SharedSegment::Unlink(strova::core::SegmentName(path_));
  // Made before the system started: deleted, and the table starts afresh.
  ASSERT_TRUE(tellura::test::WriteFile(path_, saved));
  const timeval old[2] = {{static_cast<time_t>(boot_) - 3600, 0}, {static_cast<time_t>(boot_) - 3600, 0}};
  ASSERT_EQ(utimes(path_.c_str(), old), 0);
  SharedState s;
  s.Load(path_, boot_);
  EXPECT_EQ(TableOf(s), Pattern());
  EXPECT_EQ(tellura::test::ReadFile(path_), Pattern());
}

TEST_F(SharedStateTest, ShortFileIsReplacedByTheTable) {
  ASSERT_TRUE(tellura::test::WriteFile(path_, "abc"));
  SharedState s;
  s.Load(path_, boot_);
  EXPECT_EQ(TableOf(s), Pattern());
  EXPECT_EQ(tellura::test::ReadFile(path_), Pattern());
}

TEST_F(SharedStateTest, SecondProcessSeesTheFirstsSelectionsAndLeavesTheFileAlone) {
  SharedState first;
  first.Load(path_, boot_);
  first.Camera()[4 * 3 + 1] = 0x1F;  // card 3, slot 1
  // A file changed behind the processes' back must not be read again.
  std::string other = Pattern();
  other[0] = 0x11;
  ASSERT_TRUE(tellura::test::WriteFile(path_, other));

  const int rc = InChild([&] {
    SharedState second;
    second.Load(path_, boot_);
    if (second.Camera()[13] != 0x1F) return 1;  // sees the first process's table
    if (second.Camera()[0] != 0) return 2;      // did not read the file
    if (tellura::test::ReadFile(path_) != std::string(other)) return 3;  // did not write it at load
    second.Camera()[0] = 0x07;
    return second.Unload() ? 0 : 4;  // its unload writes the shared table
  });
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(first.Camera()[0], 0x07);  // the child's change reached this process
  const std::string written = tellura::test::ReadFile(path_);
  ASSERT_EQ(written.size(), kCameraBytes);
  EXPECT_EQ(written[0], 0x07);
  EXPECT_EQ(written[13], 0x1F);
}

TEST_F(SharedStateTest, UnwritableFolderKeepsTheTableInMemory) {
  // The state folder's place is taken by a file: nothing can be written.
  const std::string blocker = home_.path("blocker");
  ASSERT_TRUE(tellura::test::WriteFile(blocker, "x"));
  const std::string path = blocker + "/Kestrune.cam";
  SharedState s;
  s.Load(path, boot_);
  EXPECT_EQ(TableOf(s), Pattern());
  s.Camera()[2] = 0xFF;
  EXPECT_FALSE(s.Unload());
  EXPECT_EQ(s.Camera()[2], 0xFF);
  plat::SharedSegment::Unlink(strova::core::SegmentName(path));
}

}  // namespace
