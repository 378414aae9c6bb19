// Folder locations, path kinds, file numbering and atomic replacement.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "support/TestEnv.h"
#include "platform/Paths.h"
#include "platform/Session.h"

namespace {
using tellura::test::ReadFile;
using tellura::test::ScopedHome;
using tellura::test::WriteFile;

mode_t ModeOf(const std::string& p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

TEST(Folders, FollowTheXdgLayoutWithTrailingSlashes) {
    ScopedHome home;
    EXPECT_EQ(plat::DataHome(), home.path("data/Quorvel/Tellura/"));
    EXPECT_EQ(plat::ProfileDir(), home.path("data/Quorvel/"));
    EXPECT_EQ(plat::SystemDir(), home.path("data/quorvel/system/"));
    EXPECT_EQ(plat::WindowsDir(), home.path("data/quorvel/windows/"));
    EXPECT_EQ(plat::ConfigDir(), home.path("config/quorvel/"));
    EXPECT_EQ(plat::StateDir(), home.path("state/quorvel/"));
    EXPECT_EQ(ModeOf(plat::StateDir()), 0700u);
    EXPECT_EQ(plat::RuntimeDir(), home.path("run/quorvel/"));
    EXPECT_EQ(plat::PicturesDir(), home.root() + "/Pictures/");
    ASSERT_TRUE(WriteFile(home.path("config/user-dirs.dirs"),
                          "# comment\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\nXDG_VIDEOS_DIR=\"/nonexistent-abs/Filme\"\n"));
    EXPECT_EQ(plat::PicturesDir(), home.root() + "/Bilder/");
    EXPECT_EQ(plat::GetPathKind(plat::PicturesDir()), 2);
    EXPECT_EQ(plat::ProgramDir(), tellura::test::BinDir() + "/");
}

TEST(Folders, PrivateTempFolderNeverSharedWithOthers) {
    ScopedHome home;
    std::string t = plat::TempDir();
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t.back(), '/');
    EXPECT_EQ(ModeOf(t), 0700u);
    EXPECT_EQ(plat::TempDir(), t);  // stable
    // A same-named folder open to others is not used.
    std::string tmpBase = home.path("tmp2");
    mkdir(tmpBase.c_str(), 0755);
    std::string squatted = tmpBase + "/quorvel-" + std::to_string(geteuid());
    mkdir(squatted.c_str(), 0777);
    chmod(squatted.c_str(), 0777);
    setenv("TMPDIR", tmpBase.c_str(), 1);
    std::string other = plat::TempDir();
    EXPECT_NE(other, squatted + "/");
    EXPECT_EQ(ModeOf(other), 0700u);
    EXPECT_EQ(other.rfind(tmpBase, 0), 0u);
}

TEST(PathKind, FoldersFilesAndMissing) {
    ScopedHome home;
    std::string dir = home.path("snaps");
    mkdir(dir.c_str(), 0755);
    ASSERT_TRUE(WriteFile(dir + "/a.bmp", "x"));
    EXPECT_EQ(plat::GetPathKind(dir), 2);
    EXPECT_EQ(plat::GetPathKind(dir + "/"), 2);  // one trailing separator is dropped
    EXPECT_EQ(plat::GetPathKind(dir + "/a.bmp"), 1);
    EXPECT_EQ(plat::GetPathKind(dir + "/missing"), 0);
    EXPECT_EQ(plat::GetPathKind(""), 0);
    EXPECT_EQ(plat::GetPathKind("/"), 2);
    EXPECT_EQ(plat::GetPathKind("C:"), 0);  // a drive letter is just a (missing) relative name
}

TEST(FileNumbers, HighestNumberAfterThePrefix) {
    ScopedHome home;
    std::string d = home.path("pics/");
    for (const char* n : {"20030105-7.bmp", "20030105-12.bmp", "20030105-x.bmp", "20030104-99.bmp",
                          "20030105-40.jpg", "20030105-3.BMP"})
        ASSERT_TRUE(WriteFile(d + n, "x"));
    // prefix "20030105-" is 9 characters with the folder excluded, extension 4.
    EXPECT_EQ(plat::FindHighestFileNumber(d + "20030105-*.bmp", 9, 4), 12);
    EXPECT_EQ(plat::FindHighestFileNumber(d + "20030105-*.jpg", 9, 4), 40);
    EXPECT_EQ(plat::FindHighestFileNumber(d + "20030106-*.bmp", 9, 4), 0);
    EXPECT_EQ(plat::FindHighestFileNumber(home.path("missing/") + "*.bmp", 9, 4), 0);
    ASSERT_TRUE(WriteFile(d + "20030105-only-x.bmp", "x"));
    EXPECT_EQ(plat::FindHighestFileNumber(d + "20030105-*.bmp", 9, 4), 12);
    // Recording numbers: the caller adds the .mpg and .avi maxima.
    ASSERT_TRUE(WriteFile(d + "20030105-3.mpg", "x"));
    ASSERT_TRUE(WriteFile(d + "20030105-5.avi", "x"));
    EXPECT_EQ(plat::FindHighestFileNumber(d + "20030105-*.mpg", 9, 4) +
                  plat::FindHighestFileNumber(d + "20030105-*.avi", 9, 4),
              8);
}

TEST(AtomicWrite, ReplacesWholeFilesKeepsModeAndFailsCleanly) {
    ScopedHome home;
    std::string f = home.path("data/ToT.ini");
    ASSERT_TRUE(plat::AtomicWriteFile(f, "old"));
    chmod(f.c_str(), 0640);
    ASSERT_TRUE(plat::AtomicWriteFile(f, "new contents"));
    EXPECT_EQ(ReadFile(f), "new contents");
    EXPECT_EQ(ModeOf(f), 0640u);
    EXPECT_TRUE(plat::AtomicWriteFile(home.path("data/private"), "s", 0600));
    EXPECT_EQ(ModeOf(home.path("data/private")), 0600u);
    if (geteuid() != 0) {
        std::string ro = home.path("ro");
        mkdir(ro.c_str(), 0555);
        EXPECT_FALSE(plat::AtomicWriteFile(ro + "/x", "data"));
        EXPECT_EQ(plat::GetPathKind(ro + "/x"), 0);
    }
}

TEST(AtomicWrite, AKilledWriterLeavesTheOldOrTheNewFile) {
    ScopedHome home;
    std::string f = home.path("big.reg");
    std::string oldData(1 << 20, 'o'), newData(4 << 20, 'n');
    ASSERT_TRUE(plat::AtomicWriteFile(f, oldData));
    for (int delayUs : {0, 500, 2000, 8000}) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (;;) plat::AtomicWriteFile(f, newData);
        }
        usleep(useconds_t(delayUs));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::string now = ReadFile(f);
        EXPECT_TRUE(now == oldData || now == newData) << "torn file of " << now.size() << " bytes";
    }
}

}  // namespace

// Under Wayland the programs go through XWayland unless the user chose a
// backend; a Wayland session without an X server is reported.
TEST(Session, WaylandChoosesX11UnlessTheUserChoseAndReportsMissingXWayland) {
    struct Case {
        const char *wayland, *sessionType, *backend, *display;
        const char* expectBackend;
        bool reported;
    } cases[] = {
        {"wayland-0", nullptr, nullptr, ":0", "x11", false},
        {nullptr, "wayland", nullptr, ":0", "x11", false},
        {"wayland-0", nullptr, "wayland", ":0", "wayland", false},
        {"wayland-0", nullptr, nullptr, nullptr, "x11", true},
        {nullptr, "x11", nullptr, ":0", nullptr, false},
    };
    const char* display = getenv("DISPLAY");
    const std::string savedDisplay = display ? display : "";
    for (const Case& c : cases) {
        auto put = [](const char* name, const char* value) {
            if (value) setenv(name, value, 1);
            else unsetenv(name);
        };
        put("WAYLAND_DISPLAY", c.wayland);
        put("XDG_SESSION_TYPE", c.sessionType);
        put("GDK_BACKEND", c.backend);
        put("DISPLAY", c.display);
        const bool reported = !plat::PreferX11Session().empty();
        const char* backend = getenv("GDK_BACKEND");
        EXPECT_EQ(backend ? std::string(backend) : "", c.expectBackend ? c.expectBackend : "");
        EXPECT_EQ(reported, c.reported);
    }
    for (const char* name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "GDK_BACKEND"}) unsetenv(name);
    if (savedDisplay.empty()) unsetenv("DISPLAY");
    else setenv("DISPLAY", savedDisplay.c_str(), 1);
}
