#include "Scan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvane {
namespace {

// A tuner with stations at given carriers: 2 within 31 kHz, 1 or 3 within
// 250 kHz below/above, else 0.
struct Band : ScanHost {
    std::vector<int> stations;
    std::vector<int> probes;
    int stopAfter = -1;  // probes before a stop request
    int lockRange = 0;   // > 0: a signal reading, lock within this of a station
    int signals = 0;
    int Signal(int f) override {
        if (lockRange <= 0) return -1;
        ++signals;
        for (int s : stations)
            if (f >= s - lockRange && f <= s + lockRange) return 1;
        return 0;
    }
    int Probe(int f) override {
        probes.push_back(f);
        for (int s : stations) {
            int d = f - s;
            if (d >= -31 && d <= 31) return 2;
            if (d < 0 && d > -250) return 3;
            if (d > 0 && d < 250) return 1;
        }
        return 0;
    }
    bool WaitContinue() override {
        return stopAfter < 0 || static_cast<int>(probes.size()) < stopAfter;
    }
    void EndProbe() override {}
    void Progress(int done, int range) override {
        EXPECT_LE(done, range);
    }
};

std::unique_ptr<RunTime> Filled() {
    auto rt = std::make_unique<RunTime>();
    for (int i = 0; i < kChannelCount; ++i) {
        std::snprintf(rt->channels[i].name, kNameSize, "Old%d", i);
        rt->channels[i].freq = 100000 + i;
        rt->channels[i].index = i;
    }
    rt->totalTv = 7;
    rt->curTune = 4;
    rt->faveNum = 3;
    rt->furTune = 2;
    rt->useFave = 1;
    return rt;
}

TEST(Scan, CentredFirstProbeIsStoredWithoutBisection) {
    auto rt = Filled();
    Band band;
    band.stations = {47750};  // first step exactly
    band.stopAfter = 2;
    RunScan(*rt, band);
    ASSERT_EQ(rt->totalTv, 1);
    EXPECT_EQ(rt->channels[0].freq, 47750 - 446);
    EXPECT_STREQ(rt->channels[0].name, "TVChannal");
    EXPECT_EQ(rt->channels[0].index, 0);  // index left as it was
    ASSERT_GE(band.probes.size(), 2u);
    EXPECT_EQ(band.probes[0], 47750);
    EXPECT_EQ(band.probes[1], 47750 + 6375);
    EXPECT_EQ(rt->faveNum, 0);
    EXPECT_EQ(rt->useFave, 0);
}

// The coarse walk finds what the step-by-step walk finds, at the same
// frequencies, at the band's edges and for stations close together, with a
// fraction of the probes.
TEST(Scan, SignalReadingSkipsQuietStepsWithTheSameResult) {
    const std::vector<int> plans[] = {
        {47750, 55250, 58250, 189250, 210250, 487250, 583250, 743250, 865250},
        {48125, 52000, 300000, 301500, 864900},
    };
    for (const auto& plan : plans) {
        Band step, quick;
        step.stations = quick.stations = plan;
        quick.lockRange = 1000;
        auto a = Filled(), b = Filled();
        RunScan(*a, step, false);
        RunScan(*b, quick);
        ASSERT_EQ(b->totalTv, a->totalTv);
        EXPECT_EQ(std::memcmp(a->channels, b->channels, sizeof a->channels), 0);
        EXPECT_LT(quick.probes.size() + size_t(quick.signals), step.probes.size() / 4);
    }
}

TEST(Scan, FullBandFindsStationsByBisection) {
    auto rt = Filled();
    Band band;
    band.stations = {55250, 62250, 175250, 471250, 863250};
    RunScan(*rt, band);
    ASSERT_EQ(rt->totalTv, 5);
    for (int i = 0; i < 5; ++i) {
        int found = rt->channels[i].freq + 446;
        EXPECT_NEAR(found, band.stations[i], 62) << i;
    }
    EXPECT_STREQ(rt->channels[5].name, "Old5");  // beyond the count: kept
    // Every step without a centred answer bisects (at most 3 more probes).
    EXPECT_LT(band.probes.size(), 2181u * 4);
    for (int f : band.probes) EXPECT_LE(f, kScanLast + 62);
}

TEST(Scan, StopKeepsPartialAndNoRestoresExactly) {
    auto rt = Filled();
    ScanBackup backup;
    SaveForScan(*rt, backup);
    Band band;
    band.stations = {49000, 70000};
    band.stopAfter = 30;
    RunScan(*rt, band);
    EXPECT_EQ(rt->totalTv, 1);
    EXPECT_LE(band.probes.size(), 40u);
    RestoreAfterScan(*rt, backup);
    EXPECT_EQ(rt->totalTv, 7);
    EXPECT_EQ(rt->curTune, 4);
    EXPECT_EQ(rt->faveNum, 3);
    EXPECT_EQ(rt->furTune, 2);
    EXPECT_EQ(rt->useFave, 1);
    EXPECT_STREQ(rt->channels[0].name, "Old0");
    EXPECT_EQ(rt->channels[0].freq, 100000);
}

TEST(Scan, KeptResultHasValidCurrentIndex) {
    auto rt = Filled();
    rt->totalTv = 1;
    rt->curTune = 0;
    KeepScanResult(*rt);
    EXPECT_EQ(rt->curTune, 0);
    rt->totalTv = 0;  // nothing found: stays a valid index
    KeepScanResult(*rt);
    EXPECT_EQ(rt->curTune, 0);
}

TEST(Scan, OddAnswersAreSkippedAndTableNeverOverflows) {
    struct Weird : Band {
        int Probe(int f) override { probes.push_back(f); return 7; }
    } weird;
    auto rt = Filled();
    RunScan(*rt, weird);
    EXPECT_EQ(rt->totalTv, 0);
    struct Everywhere : Band {
        int Probe(int f) override { probes.push_back(f); return 2; }
    } every;
    RunScan(*rt, every);
    EXPECT_LE(rt->totalTv, kChannelCount);
    EXPECT_GT(rt->totalTv, 100);
}

struct Shown : TuneHost {
    std::vector<int> tuned, sound;
    std::string number, text;
    void SetFrequency(int f) override { tuned.push_back(f); }
    void SetTunerSound(int on) override { sound.push_back(on); }
    void HoldLineInput() override {}
    void ShowNumber(const std::string& s) override { number = s; }
    void SetDisplayText(const std::string& s) override { text = s; }
    void ClearKeypadEntry() override {}
};

TEST(Scan, FinishTunesKeptOrRestoredChannel) {
    auto rt = Filled();
    rt->tvSound = 1;
    ScanBackup backup;
    SaveForScan(*rt, backup);
    Band band;
    band.stations = {55250, 62250};
    RunScan(*rt, band);
    Shown kept;
    FinishScan(*rt, backup, true, kept);
    EXPECT_EQ(kept.tuned, (std::vector<int>{rt->channels[0].freq}));
    EXPECT_EQ(kept.number, "00");
    EXPECT_EQ(kept.text, "TVChannal");
    EXPECT_EQ(kept.sound, (std::vector<int>{1}));

    RunScan(*rt, band);
    Shown restored;
    rt->tvSound = 0;
    FinishScan(*rt, backup, false, restored);
    EXPECT_EQ(rt->curTune, 4);
    EXPECT_EQ(restored.tuned, (std::vector<int>{100004}));
    EXPECT_EQ(restored.text, "Old4");
    EXPECT_TRUE(restored.sound.empty());

    // Nothing found and kept: a valid index, nothing tuned.
    struct Empty : Band {
        int Probe(int f) override { probes.push_back(f); return 0; }
    } empty;
    RunScan(*rt, empty);
    Shown none;
    FinishScan(*rt, backup, true, none);
    EXPECT_EQ(rt->curTune, 0);
    EXPECT_TRUE(none.tuned.empty());
}

}  // namespace
}  // namespace orvane
