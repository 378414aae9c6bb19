// Named manual-reset events and the wait functions.
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "platform/Events.h"

namespace {
using namespace plat;
using Clock = std::chrono::steady_clock;

TEST(Events, ManualResetStaysSignalledAndTimeoutsHold) {
    HANDLE e = CreateEventA(nullptr, 1, 0, nullptr);
    ASSERT_NE(e, nullptr);
    auto t0 = Clock::now();
    EXPECT_EQ(WaitForSingleObject(e, 50), WAIT_TIMEOUT);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(45));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);  // still signalled
    ResetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(e));
}

TEST(Events, FirstSignalledInArrayOrderWinsAndWaitAllNeedsAll) {
    HANDLE h[3] = {CreateEventA(nullptr, 1, 0, nullptr), CreateEventA(nullptr, 1, 0, nullptr),
                   CreateEventA(nullptr, 1, 0, nullptr)};
    SetEvent(h[2]);
    SetEvent(h[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, h, 0, 0), WAIT_OBJECT_0 + 1);
    ResetEvent(h[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, h, 0, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, h, 1, 20), WAIT_TIMEOUT);
    SetEvent(h[0]);
    SetEvent(h[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, h, 1, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(0, h, 0, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    for (HANDLE x : h) CloseHandle(x);
}

TEST(Events, SameNameIsTheSameEventAndAWaiterWakesFromAnotherThread) {
    HANDLE a = CreateEventA(nullptr, 1, 0, "ScanStop");
    HANDLE b = CreateEventA(nullptr, 1, 0, "ScanStop");
    ASSERT_EQ(a, b);
    std::thread setter([b] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        SetEvent(b);
    });
    HANDLE both[2] = {CreateEventA(nullptr, 1, 0, "Other"), a};
    EXPECT_EQ(WaitForMultipleObjects(2, both, 0, 5000), WAIT_OBJECT_0 + 1);
    setter.join();
    CloseHandle(b);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);  // one reference is left
    CloseHandle(a);
    HANDLE fresh = CreateEventA(nullptr, 1, 0, "ScanStop");
    EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_TIMEOUT);  // the old event is gone
    CloseHandle(fresh);
    CloseHandle(both[0]);
}

TEST(Events, AutoResetReleasesOneWait) {
    HANDLE e = CreateEventA(nullptr, 0, 1, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    CloseHandle(e);
}

}  // namespace
