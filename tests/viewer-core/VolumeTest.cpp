#include "Volume.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvane {
namespace {

struct Sound : SoundHost {
    bool mixer = true;
    std::vector<std::string> calls;
    std::vector<int> bars;
    bool SetMasterMute(bool m) override { calls.push_back(m ? "mute" : "unmute"); return mixer; }
    bool SetMasterVolume(int v) override { calls.push_back("vol" + std::to_string(v)); return mixer; }
    void SetTunerSound(int on) override { calls.push_back("tv" + std::to_string(on)); }
    void SetExternalSound(int on) override { calls.push_back("ad" + std::to_string(on)); }
    void SetMuteButton(bool t) override { calls.push_back(t ? "btn-on" : "btn-off"); }
    void ShowBar(const char*, int v, int max) override { bars.push_back(v); EXPECT_EQ(max, 65530); }
    void Pause(int) override { calls.push_back("wait"); }
};

TEST(Volume, StepsClampAndHeldKeyStepsTwice) {
    auto rt = std::make_unique<RunTime>();
    Sound s;
    rt->volume = 65000;
    StepVolume(*rt, s, true);
    StepVolume(*rt, s, true);
    EXPECT_EQ(s.bars, (std::vector<int>{65530, 65530}));
    rt->volume = 10000;
    StepVolume(*rt, s, false, 2);
    EXPECT_EQ(rt->volume, 7000);
    // No mixer: the value still steps but no bar is shown.
    s.mixer = false;
    s.bars.clear();
    rt->volume = 1000;
    StepVolume(*rt, s, false);
    EXPECT_EQ(rt->volume, 0);
    EXPECT_TRUE(s.bars.empty());
}

TEST(Volume, MuteToggleRestoresTheSelectedSource) {
    auto rt = std::make_unique<RunTime>();
    Sound s;
    rt->vNul = 1;
    rt->tvSound = 0;  // external input
    ToggleMute(*rt, s);
    EXPECT_EQ(rt->vNul, 0);
    ToggleMute(*rt, s);
    EXPECT_EQ(s.calls, (std::vector<std::string>{"mute", "tv0", "btn-on", "unmute", "btn-off",
                                                 "tv0", "wait", "ad1"}));
    s.calls.clear();
    rt->tvSound = 1;
    ToggleMute(*rt, s);
    ToggleMute(*rt, s);
    EXPECT_EQ(s.calls.back(), "tv1");
}

TEST(Volume, LineInputComesBackAfterTwoTicksUnlessHeldForever) {
    int countdown = kLineHoldTicks;
    EXPECT_FALSE(LineInputTick(countdown));
    EXPECT_FALSE(LineInputTick(countdown));
    EXPECT_TRUE(LineInputTick(countdown));
    EXPECT_TRUE(LineInputTick(countdown));  // stays unmuted at 0
    countdown = -1;  // hidden in the tray
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(LineInputTick(countdown));
    EXPECT_EQ(countdown, -1);
    countdown = -40;  // out of range from anywhere: never expires
    EXPECT_FALSE(LineInputTick(countdown));
    EXPECT_EQ(countdown, -1);
}

}  // namespace
}  // namespace orvane
