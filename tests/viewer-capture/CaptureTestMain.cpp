// Test main: before any thread starts, move into a private mount namespace
// when allowed, so tests can mount small or read-only file systems that no
// other process sees and that vanish with the test.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {
bool g_canMount = false;
}

bool CanMount() { return g_canMount; }

int main(int argc, char** argv) {
    g_canMount = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                 ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
