// The schedule's file and its next-entry search against bad input: counts
// out of range, damaged values, impossible dates and a clock set back.
#include <gtest/gtest.h>

#include "orvane/core/Schedule.h"
#include "platform/Profile.h"
#include "support/TestEnv.h"

using orvane::Schedule;
using orvane::ScheduleEntry;

namespace {

const ScheduleEntry kEntry{2030, 6, 1, 12, 0, 0, 0, 10, 0};

std::string File(const tellura::test::ScopedHome& home, const std::string& text) {
    const std::string path = home.path("ToT.ini");
    tellura::test::WriteFile(path, text);
    return path;
}

}  // namespace

// "iCnt" below 0 loads nothing, above 200 loads 200; a value with a bad
// checksum or cut short leaves the entry as it was.
TEST(ScheduleFile, CountsAndDamagedValues) {
    tellura::test::ScopedHome home;
    const std::string good = plat::FormatProfileStruct(&kEntry, sizeof kEntry);
    Schedule s;
    s.Load(File(home, "[MyParKey]\r\niCnt=-4\r\n0Data=" + good + "\r\n"));
    EXPECT_EQ(s.Count(), 0);
    s.Load(File(home, "[MyParKey]\r\niCnt=4000000000\r\n0Data=" + good + "\r\n"));
    EXPECT_EQ(s.Count(), orvane::kScheduleSize);
    EXPECT_EQ(orvane::StartKey(s.At(0)), 20300601120000);

    std::string bad = good;
    bad[bad.size() - 1] = bad.back() == '0' ? '1' : '0';
    s.Load(File(home, "[MyParKey]\r\niCnt=2\r\n0Data=" + bad + "\r\n1Data=" + good.substr(0, 20) + "\r\n"));
    EXPECT_EQ(s.Count(), 2);
    EXPECT_EQ(orvane::StartKey(s.At(0)), 20300601120000);  // kept from before

    s.Clear();
    s.Insert(kEntry);
    ASSERT_TRUE(s.Save(home.path("ToT.ini")));
    Schedule back;
    back.Load(home.path("ToT.ini"));
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(orvane::StartKey(back.At(0)), orvane::StartKey(kEntry));
}

// 31 February is never pending; an entry fires once, also when the clock is
// set back into its window afterwards.
TEST(ScheduleSearch, ImpossibleDatesAndClockSetBack) {
    orvane::RunTime rt{};
    Schedule s;
    s.Insert({2030, 2, 31, 12, 0, 0, 0, 10, 0});
    s.FindNextEntry(rt, 0);
    EXPECT_EQ(rt.b, 0);

    s.Clear();
    s.Insert(kEntry);
    std::time_t start = 0;
    ASSERT_TRUE(orvane::StartTime(kEntry, start));
    s.FindNextEntry(rt, start - 3);
    EXPECT_FALSE(s.TakeDue(rt, start - 3));
    EXPECT_TRUE(s.TakeDue(rt, start - 2));
    s.FindNextEntry(rt, start + 5);  // the clock went back after the start
    EXPECT_EQ(rt.b, 0);
    EXPECT_FALSE(s.TakeDue(rt, start + 5));
}
