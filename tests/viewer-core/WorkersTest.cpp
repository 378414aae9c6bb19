#include "Scan.h"
#include "Workers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace orvane {
namespace {

using namespace std::chrono_literals;

TEST(RemoteThreadTest, SendsCodesWhileEnabledAndStopsPromptly) {
    std::mutex m;
    std::vector<int> sent;
    std::vector<int> words = {176, 0xFF, 0x100};
    size_t next = 0;
    std::atomic<int> enabled{1};
    RemoteThread remote;
    remote.Start(
        [&] {
            std::lock_guard lock(m);
            return next < words.size() ? words[next++] : 0x100;
        },
        [&](int c) {
            std::lock_guard lock(m);
            sent.push_back(c);
        },
        &enabled);
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(20ms);
        std::lock_guard lock(m);
        if (sent.size() >= 4) break;
    }
    enabled = 0;
    auto t0 = std::chrono::steady_clock::now();
    remote.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
    EXPECT_FALSE(remote.Running());
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ((std::vector<int>(sent.begin(), sent.begin() + 4)),
              (std::vector<int>{176, 0xFF, 176 | 0x400, 0x1FF}));
}

// A scan thread on the gate: a stop request ends it at the next probe step.
struct GatedBand : ScanHost {
    ScanGate& gate;
    std::atomic<int> probes{0};
    explicit GatedBand(ScanGate& g) : gate(g) {}
    int Probe(int f) override {
        ++probes;
        std::this_thread::sleep_for(1ms);
        return f == 50000 ? 2 : 0;
    }
    bool WaitContinue() override {
        if (!gate.WaitContinue()) return false;
        gate.Hold();
        return true;
    }
    void EndProbe() override { gate.Release(); }
    void Progress(int, int) override {}
};

TEST(ScanGateTest, StopRequestEndsRunningScan) {
    ScanGate gate;
    gate.Start();
    GatedBand band(gate);
    auto rt = std::make_unique<RunTime>();
    std::thread scan([&] { RunScan(*rt, band); });
    while (band.probes < 20) std::this_thread::sleep_for(1ms);
    gate.RequestStop();
    scan.join();
    EXPECT_LT(band.probes.load(), 8000);
    // Stop wins over continue.
    gate.Release();
    EXPECT_FALSE(gate.WaitContinue());
    gate.Start();
    EXPECT_TRUE(gate.WaitContinue());
}

}  // namespace
}  // namespace orvane
