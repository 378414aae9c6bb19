// The video list without a display: listing, probing against ffprobe,
// damaged files, the thumbnail cache and the orders the columns give.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Clips.h"
#include "calvex/VideoFolder.h"
#include "common/ThumbFiles.h"
#include "support/TestEnv.h"

using namespace calvex;
using calvex_test::FfprobeDuration;
using calvex_test::MakeClip;
using strova::mpeg::MuxType;
using tellura::test::ScopedHome;
namespace fs = std::filesystem;

namespace {

void SetTime(const std::string& path, time_t t) {
    const timeval tv[2] = {{t, 0}, {t, 0}};
    utimes(path.c_str(), tv);
}

void FillAndWait(VideoFolder& f) {
    f.Fill(nullptr, 2);
    for (int i = 0; i < 600 && !(f.AllProbed() && f.AllFramed()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    f.Stop();
}

const Recording* Find(const std::vector<Recording>& list, const std::string& name) {
    for (const Recording& r : list)
        if (r.name == name) return &r;
    return nullptr;
}

}  // namespace

// Recordings of every kind the library writes, damaged ones beside them:
// listed newest first, durations as ffprobe reads them, and a second look
// served from the thumbnail cache with the same answers.
TEST(CalvexModel, ListsProbesAndCachesRecordingsAndSurvivesDamagedFiles) {
    ScopedHome home;
    const std::string dir = home.path("videos");
    fs::create_directories(dir);
    ASSERT_TRUE(MakeClip(dir + "/vcd.mpg", MuxType::Vcd, 3.0));
    ASSERT_TRUE(MakeClip(dir + "/dvd.mpg", MuxType::Dvd, 2.0));
    ASSERT_TRUE(MakeClip(dir + "/clip.avi", MuxType::Avi, 1.5));
    // An interrupted recording: the first third of the DVD file.
    const auto dvdSize = fs::file_size(dir + "/dvd.mpg");
    fs::copy_file(dir + "/dvd.mpg", dir + "/cut.mpg");
    fs::resize_file(dir + "/cut.mpg", dvdSize / 3);
    std::ofstream(dir + "/empty.mpg").close();
    std::ofstream(dir + "/notes.avi") << "not a video at all";
    std::ofstream(dir + "/readme.txt") << "skipped";
    std::ofstream(dir + "/.hidden.mpg") << "skipped";
    const char* names[] = {"vcd.mpg", "dvd.mpg", "clip.avi", "cut.mpg", "empty.mpg", "notes.avi"};
    for (int i = 0; i < 6; ++i) SetTime(dir + "/" + names[i], 1700000000 + i * 60);

    VideoFolder f;
    ASSERT_EQ(f.Scan(dir), ScanResult::Ok);
    std::vector<Recording> list = f.Snapshot();
    ASSERT_EQ(list.size(), 6u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(list[size_t(i)].name, names[5 - i]) << "newest first";
    EXPECT_EQ(list[5].size, fs::file_size(dir + "/vcd.mpg"));

    FillAndWait(f);
    list = f.Snapshot();
    for (const char* good : {"vcd.mpg", "dvd.mpg", "clip.avi", "cut.mpg"}) {
        const Recording* r = Find(list, good);
        ASSERT_TRUE(r && r->probed && r->info.ok) << good;
        const double want = FfprobeDuration(dir + "/" + good);
        ASSERT_GT(want, 0) << good;
        EXPECT_NEAR(r->info.duration, want, 0.5) << good;
        EXPECT_FALSE(r->frame.rgb.empty()) << good << ": no preview frame";
    }
    EXPECT_NE(Find(list, "vcd.mpg")->info.format.find("MPEG-PS, MPEG-1 352×288"), std::string::npos);
    EXPECT_NE(Find(list, "dvd.mpg")->info.format.find("MPEG-2"), std::string::npos);
    EXPECT_NE(Find(list, "clip.avi")->info.format.find("AVI"), std::string::npos);
    for (const char* bad : {"empty.mpg", "notes.avi"}) {
        const Recording* r = Find(list, bad);
        ASSERT_TRUE(r && r->probed && r->framed) << bad;
        EXPECT_FALSE(r->info.ok) << bad;
        EXPECT_TRUE(r->frame.rgb.empty()) << bad;
    }

    // The cache entry is a standard one other programs can read.
    const std::string uri = thumbs::FileUri(dir + "/vcd.mpg");
    thumbs::Entry e;
    ASSERT_TRUE(thumbs::ReadEntry(thumbs::EntryFile(uri, "large"), uri, 1700000000, e));
    EXPECT_EQ(std::max(e.width, e.height), 256);
    EXPECT_NEAR(std::atof(e.text["Thumb::Movie::Length"].c_str()), Find(list, "vcd.mpg")->info.duration, 0.01);

    // Again with the cache filled; a changed file is read afresh.
    MakeClip(dir + "/vcd.mpg", MuxType::Vcd, 1.0);
    SetTime(dir + "/vcd.mpg", 1700000000);  // same time as cached, so force a new one
    SetTime(dir + "/vcd.mpg", 1700000001);
    VideoFolder again;
    ASSERT_EQ(again.Scan(dir), ScanResult::Ok);
    FillAndWait(again);
    const std::vector<Recording> warm = again.Snapshot();
    for (const Recording& r : list) {
        const Recording* w = Find(warm, r.name);
        ASSERT_TRUE(w && w->probed) << r.name;
        if (r.name == "vcd.mpg") {
            EXPECT_NEAR(w->info.duration, FfprobeDuration(dir + "/vcd.mpg"), 0.5);
            continue;
        }
        EXPECT_EQ(w->info.ok, r.info.ok) << r.name;
        EXPECT_NEAR(w->info.duration, r.info.duration, 0.01) << r.name;
        EXPECT_EQ(w->info.format, r.info.format) << r.name;
        EXPECT_EQ(w->frame.rgb.empty(), r.frame.rgb.empty()) << r.name;
    }
}

TEST(CalvexModel, MissingFolderAndOrdersByColumn) {
    ScopedHome home;
    VideoFolder f;
    EXPECT_EQ(f.Scan(home.path("nowhere")), ScanResult::Missing);
    EXPECT_EQ(f.Count(), 0u);

    std::vector<Recording> list(4);
    const char* names[] = {"b.mpg", "A.mpg", "c.avi", "d.avi"};
    const double durations[] = {5, -1, 2, 9};
    for (size_t i = 0; i < 4; ++i) {
        list[i].name = names[i];
        list[i].mtime = time_t(100 + (i == 3 ? 0 : i));
        list[i].size = 10 * (4 - i);
        list[i].probed = i != 1;
        list[i].info.duration = durations[i];
    }
    using V = std::vector<size_t>;
    EXPECT_EQ(SortOrder(list, Column::Date, false), (V{2, 1, 0, 3})) << "ties keep newest first, then by name";
    EXPECT_EQ(SortOrder(list, Column::Name, true), (V{1, 0, 2, 3})) << "names ignore case";
    EXPECT_EQ(SortOrder(list, Column::Duration, true), (V{1, 2, 0, 3})) << "unknown first";
    EXPECT_EQ(SortOrder(list, Column::Size, false), (V{0, 1, 2, 3}));
    EXPECT_EQ(FormatDuration(3725.4), "1:02:05");
    EXPECT_EQ(FormatDuration(-1), "");
    EXPECT_EQ(FormatSize(1400000), "1.4 MB");
}
