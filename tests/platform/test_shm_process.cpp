// Shared segments between processes, and program start without zombies.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "support/TestEnv.h"
#include "platform/Process.h"
#include "platform/SharedMemory.h"

namespace {

std::string UniqueName(const char* base) { return std::string(base) + "-" + std::to_string(getpid()); }

TEST(SharedSegment, FirstOpenerCreatesAndAnotherProcessSeesTheBytes) {
    std::string name = UniqueName("shm-test");
    plat::SharedSegment::Unlink(name);
    plat::SharedSegment seg;
    ASSERT_TRUE(seg.Open(name, 4096));
    EXPECT_TRUE(seg.created());
    EXPECT_EQ(static_cast<unsigned char*>(seg.data())[100], 0);
    std::strcpy(static_cast<char*>(seg.data()), "from parent");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        plat::SharedSegment child;
        bool ok = child.Open(name, 4096) && !child.created() &&
                  std::strcmp(static_cast<char*>(child.data()), "from parent") == 0;
        if (ok) std::strcpy(static_cast<char*>(child.data()), "from child");
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_STREQ(static_cast<char*>(seg.data()), "from child");
    plat::SharedSegment wrongSize;
    EXPECT_FALSE(wrongSize.Open(name, 8192));
    EXPECT_EQ(wrongSize.data(), nullptr);
    seg.Close();
    EXPECT_TRUE(plat::SharedSegment::Unlink(name));
    plat::SharedSegment again;
    ASSERT_TRUE(again.Open(name, 4096));
    EXPECT_TRUE(again.created());
    EXPECT_EQ(static_cast<char*>(again.data())[0], 0);
    plat::SharedSegment::Unlink(name);
    EXPECT_FALSE(again.Open("", 16));
    EXPECT_FALSE(again.Open(name, 0));
}

TEST(Process, StartsProgramsAndReapsThem) {
    tellura::test::ScopedHome home;
    std::string marker = home.path("started");
    ASSERT_TRUE(plat::StartProcess("sh", {"-c", "echo ok > '" + marker + "'"}));
    for (int i = 0; i < 500 && tellura::test::ReadFile(marker).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(tellura::test::ReadFile(marker), "ok\n");
    EXPECT_FALSE(plat::StartProcess("/nonexistent/program", {}));
    EXPECT_FALSE(plat::StartProcess("", {}));
    EXPECT_FALSE(plat::OpenDocument(""));
    // The child was reaped by the layer: nothing is left for us to wait for.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace
