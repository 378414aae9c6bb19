#include "Channels.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace orvane {
namespace {

struct Model : TuneHost {
    std::vector<int> tuned, sound;
    int holds = 0, clears = 0;
    std::string number, text;
    void SetFrequency(int f) override { tuned.push_back(f); }
    void SetTunerSound(int on) override { sound.push_back(on); }
    void HoldLineInput() override { ++holds; }
    void ShowNumber(const std::string& s) override { number = s; }
    void SetDisplayText(const std::string& s) override { text = s; }
    void ClearKeypadEntry() override { ++clears; }
};

std::unique_ptr<RunTime> Table(int total) {
    auto rt = std::make_unique<RunTime>();
    rt->cardModel = 2;
    rt->vidSource = 0;
    rt->totalTv = total;
    for (int i = 0; i < kChannelCount; ++i) {
        std::snprintf(rt->channels[i].name, kNameSize, "Ch%d", i);
        rt->channels[i].freq = 50000 + 1000 * i;
        std::snprintf(rt->faves[i].name, kNameSize, "Fav%d", i);
        rt->faves[i].freq = 60000 + 1000 * i;
    }
    return rt;
}

TEST(ChannelStepping, WrapsAtHundredForLargeTables) {
    auto rt = Table(150);
    Model m;
    rt->curTune = 99;
    NextChannel(*rt, m);
    EXPECT_EQ(rt->curTune, 0);
    EXPECT_EQ(rt->prevTune, 99);
    PreviousChannel(*rt, m);
    EXPECT_EQ(rt->curTune, 99);
    EXPECT_EQ(m.tuned, (std::vector<int>{50000, 50000 + 99000}));
    // A current index above 100 steps back from 100.
    rt->curTune = 140;
    PreviousChannel(*rt, m);
    EXPECT_EQ(rt->curTune, 99);
    EXPECT_EQ(rt->prevTune, 100);
}

TEST(ChannelStepping, SmallTableAndSoundAroundEachChange) {
    auto rt = Table(3);
    Model m;
    PreviousChannel(*rt, m);
    EXPECT_EQ(rt->curTune, 2);
    EXPECT_EQ(m.number, "02");
    EXPECT_EQ(m.text, "02-Ch2");
    EXPECT_EQ(m.sound, (std::vector<int>{0, 1}));
    EXPECT_EQ(m.holds, 1);
}

TEST(ChannelStepping, NothingWithoutTunerInputOrChannels) {
    auto rt = Table(0);
    Model m;
    NextChannel(*rt, m);
    rt->totalTv = 5;
    rt->vidSource = 1;  // not the tuner on model 2
    PreviousChannel(*rt, m);
    SelectChannel(*rt, m, 1);
    rt->useFave = 1;  // favourites on, none stored
    rt->vidSource = 0;
    NextChannel(*rt, m);
    EXPECT_TRUE(m.tuned.empty());
    EXPECT_TRUE(m.sound.empty());
    // Model 1 tunes on input 1.
    rt->useFave = 0;
    rt->cardModel = 1;
    rt->vidSource = 1;
    NextChannel(*rt, m);
    EXPECT_EQ(m.tuned.size(), 1u);
}

TEST(ChannelSelect, FavouriteLimitsAndCurrentFrequency) {
    auto rt = Table(10);
    Model m;
    rt->useFave = 1;
    rt->faveNum = 4;
    SelectChannel(*rt, m, 4);
    EXPECT_TRUE(m.tuned.empty());
    EXPECT_EQ(m.sound, (std::vector<int>{0, 1}));
    SelectChannel(*rt, m, 3);
    EXPECT_EQ(m.tuned, (std::vector<int>{63000}));
    EXPECT_EQ(rt->furTune, 3);
    EXPECT_EQ(rt->curTune, 0);
    EXPECT_EQ(m.clears, 2);
    // Unscanned current entry: nothing changes.
    rt->faves[3].freq = 0;
    SelectChannel(*rt, m, 1);
    EXPECT_EQ(rt->furTune, 3);
    EXPECT_EQ(m.tuned.size(), 1u);
    // Negative or out-of-table numbers never index the tables.
    SelectChannel(*rt, m, -1);
    rt->faveNum = 1000;
    rt->faves[3].freq = 70000;
    SelectChannel(*rt, m, 400);
    EXPECT_EQ(m.tuned.size(), 1u);
    // A damaged current index still lets a valid number through.
    rt->furTune = 5000;
    rt->prevTune = 1;
    SelectChannel(*rt, m, 2);
    EXPECT_EQ(rt->furTune, 2);
    EXPECT_EQ(rt->prevTune, 1);  // never a previous index outside the table
}

TEST(ChannelSelect, PreviousIndexFollowsRealChanges) {
    auto rt = Table(20);
    Model m;
    rt->curTune = 5;
    NextChannel(*rt, m);  // 5 -> 6
    SelectChannel(*rt, m, rt->prevTune);
    EXPECT_EQ(rt->curTune, 5);
    SelectChannel(*rt, m, rt->prevTune);
    EXPECT_EQ(rt->curTune, 6);
    // Selecting the current channel tunes again but keeps the previous index.
    SelectChannel(*rt, m, 6);
    EXPECT_EQ(rt->prevTune, 5);
    EXPECT_EQ(m.tuned.back(), 56000);
}

TEST(ChannelSelect, NumbersAboveStepLimitAreSelectable) {
    auto rt = Table(150);
    Model m;
    SelectChannel(*rt, m, 120);
    EXPECT_EQ(rt->curTune, 120);
    EXPECT_EQ(m.text, "120-Ch120");
}

}  // namespace
}  // namespace orvane
