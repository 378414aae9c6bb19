// A schedule file written on Windows makes the running viewer record at the
// entry's time for its duration, without the settings dialog ever opened; an
// entry at an earlier time of day but tomorrow does not fire today.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

#include "SettingsTestSupport.h"
#include "ViewerAppSupport.h"
#include "orvane/core/Schedule.h"
#include "orvane/ui/OrvaneDlg.h"

using tellura::test::ScopedHome;

namespace {

orvane::ScheduleEntry EntryAt(std::time_t t, int durSeconds) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0, 0, durSeconds};
}

std::string OnlyFile(const std::string& folder) {
    std::string found;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.') found = folder + e->d_name;
        closedir(d);
    }
    return found;
}

double Duration(const std::string& path) {
    const std::string cmd = "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'";
    FILE* p = popen(cmd.c_str(), "r");
    char buf[64] = {};
    if (p) {
        if (!fgets(buf, sizeof buf, p)) buf[0] = 0;
        pclose(p);
    }
    return std::atof(buf);
}

}  // namespace

TEST(ScheduleRun, WindowsFileRecordsAfterStartWithoutTheDialog) {
    ScopedHome home;
    const std::string videos = home.path("videos/");
    mkdir(videos.c_str(), 0755);
    const std::time_t start = std::time(nullptr) + 20;
    constexpr int kSeconds = 4;
    const orvane::ScheduleEntry today = EntryAt(start, kSeconds);
    const orvane::ScheduleEntry tomorrow = EntryAt(start - 12 + 86400, kSeconds);
    ASSERT_TRUE(tellura::test::WriteFile(orvane::Schedule::DefaultFile(),
                                         "[MyParKey]\r\niCnt=2\r\n0Data=" + WindowsStruct(&today, sizeof today) +
                                             "\r\n1Data=" + WindowsStruct(&tomorrow, sizeof tomorrow) + "\r\n"));
    InProcessViewer v([&](orvane::RunTime& rt) {
        orvane::CopyField(rt.recordPath, videos);
        rt.b = 0, rt.l = 0;
    });
    ASSERT_TRUE(v.dlg);
    ASSERT_TRUE(PumpUntil([&] { return v.dlg->IsRecording(); }, 40000));
    EXPECT_GE(std::time(nullptr), start - 2);  // not at the other entry's time of day
    ASSERT_TRUE(PumpUntil([&] { return !v.dlg->IsRecording(); }, 15000));
    const std::string file = OnlyFile(videos);
    ASSERT_FALSE(file.empty());
    EXPECT_NEAR(Duration(file), kSeconds, 1.0) << file;
}
