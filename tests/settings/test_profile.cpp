// Profile (INI) files: Windows-written files, struct checksums, edits that
// keep the rest of the file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/Profile.h"
#include "support/TestEnv.h"

using namespace plat;
using tellura::test::ReadFile;
using tellura::test::ScopedHome;
using tellura::test::WriteFile;

TEST(Profile, ReadsAFileWrittenOnWindows) {
    ScopedHome home;
    std::string file = home.path("data/ToT.ini");
    WriteFile(file,
              "; schedule\r\n[Schedule]\r\nEntry0=01020306\r\nCount = 12abc\r\nNeg=-5\r\nEmpty=\r\n"
              "Name = \"  quoted  \"\r\n\r\n[Other]\r\nx=1\r\n");
    unsigned char bytes[3] = {};
    EXPECT_TRUE(GetPrivateProfileStructA("SCHEDULE", "entry0", bytes, 3, file.c_str()));
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_EQ(GetPrivateProfileIntA("schedule", "COUNT", 7, file.c_str()), 12u);
    EXPECT_EQ(GetPrivateProfileIntA("Schedule", "Neg", 7, file.c_str()), UINT(-5));
    EXPECT_EQ(GetPrivateProfileIntA("Schedule", "Empty", 7, file.c_str()), 7u);
    EXPECT_EQ(GetPrivateProfileIntA("Schedule", "Missing", -1, file.c_str()), UINT(-1));
    EXPECT_EQ(GetPrivateProfileIntA("Schedule", "Name", 3, file.c_str()), 0u);
    char buf[32];
    EXPECT_EQ(GetPrivateProfileStringA("Schedule", "Name", "", buf, sizeof buf, file.c_str()), 10u);
    EXPECT_STREQ(buf, "  quoted  ");
    EXPECT_EQ(GetPrivateProfileStringA("Schedule", "Name", "", buf, 4, file.c_str()), 3u);
    EXPECT_STREQ(buf, "  q");
    EXPECT_EQ(GetPrivateProfileStringA("None", "x", "def  ", buf, sizeof buf, file.c_str()), 3u);
    EXPECT_STREQ(buf, "def");
    // Section list: each name zero-terminated, then a final zero.
    DWORD n = GetPrivateProfileStringA(nullptr, nullptr, nullptr, buf, sizeof buf, file.c_str());
    EXPECT_EQ(n, 15u);
    EXPECT_EQ(0, std::memcmp(buf, "Schedule\0Other\0\0", 16));
    EXPECT_FALSE(GetPrivateProfileStructA("Schedule", "Entry0", bytes, 3, home.path("nofile.ini").c_str()));
}

TEST(Profile, StructWithWrongChecksumOrLengthFails) {
    ScopedHome home;
    std::string file = home.path("data/s.ini");
    WriteFile(file, "[S]\r\nbad=01020307\r\nodd=0102030\r\nhexy=0G020306\r\nlower=0a0b15\r\n");
    unsigned char bytes[3] = {9, 9, 9};
    EXPECT_FALSE(GetPrivateProfileStructA("S", "bad", bytes, 3, file.c_str()));
    EXPECT_FALSE(GetPrivateProfileStructA("S", "odd", bytes, 3, file.c_str()));
    EXPECT_FALSE(GetPrivateProfileStructA("S", "hexy", bytes, 3, file.c_str()));
    EXPECT_FALSE(GetPrivateProfileStructA("S", "bad", bytes, 2, file.c_str()));  // length differs
    EXPECT_EQ(bytes[0], 9);  // untouched on failure
    EXPECT_TRUE(GetPrivateProfileStructA("S", "lower", bytes, 2, file.c_str()));
    EXPECT_EQ(bytes[1], 0x0b);
}

TEST(Profile, WritesKeepLayoutLineEndsAndOtherEntries) {
    ScopedHome home;
    std::string file = home.path("data/p.ini");
    WriteFile(file, "; keep me\n[Alpha]\nA=1\n\n[Beta]\nB=2\n");
    EXPECT_TRUE(WritePrivateProfileStringA("alpha", "a", "10", file.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("Alpha", "New", "x", file.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("Gamma", "G", "3", file.c_str()));
    EXPECT_EQ(ReadFile(file), "; keep me\n[Alpha]\nA=10\nNew=x\n\n[Beta]\nB=2\n[Gamma]\nG=3\n");
    EXPECT_TRUE(WritePrivateProfileStringA("Alpha", "New", nullptr, file.c_str()));
    EXPECT_TRUE(WritePrivateProfileStringA("beta", nullptr, nullptr, file.c_str()));
    EXPECT_EQ(ReadFile(file), "; keep me\n[Alpha]\nA=10\n\n[Gamma]\nG=3\n");
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", file.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "two\nlines", file.c_str()));

    // New files are written in the Windows format, structs included.
    std::string fresh = home.path("data/sub/new.ini");
    const unsigned char data[] = {0x01, 0x02, 0x03, 0xff};
    EXPECT_TRUE(WritePrivateProfileStructA("Rec", "E", data, 4, fresh.c_str()));
    EXPECT_EQ(ReadFile(fresh), "[Rec]\r\nE=010203FF05\r\n");
    unsigned char back[4] = {};
    EXPECT_TRUE(GetPrivateProfileStructA("rec", "e", back, 4, fresh.c_str()));
    EXPECT_EQ(0, std::memcmp(back, data, 4));
}

TEST(Profile, UnreadableFileIsNeverReplaced) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    ScopedHome home;
    std::string file = home.path("data/locked.ini");
    WriteFile(file, "[A]\r\nkeep=1\r\n");
    chmod(file.c_str(), 0);
    EXPECT_FALSE(WritePrivateProfileStringA("A", "new", "2", file.c_str()));
    chmod(file.c_str(), 0600);
    EXPECT_EQ(ReadFile(file), "[A]\r\nkeep=1\r\n");
}

TEST(Profile, TwoProcessesWritingKeepBothChanges) {
    ScopedHome home;
    std::string file = home.path("data/shared.ini");
    WriteFile(file, "[S]\r\n");
    pid_t kids[2];
    for (int p = 0; p < 2; ++p) {
        kids[p] = fork();
        ASSERT_GE(kids[p], 0);
        if (kids[p] == 0) {
            for (int i = 0; i < 40; ++i) {
                std::string key = std::string(1, char('A' + p)) + std::to_string(i);
                if (!WritePrivateProfileStringA("S", key.c_str(), "1", file.c_str())) _exit(1);
            }
            _exit(0);
        }
    }
    for (pid_t pid : kids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p < 2; ++p)
        for (int i = 0; i < 40; ++i) {
            std::string key = std::string(1, char('A' + p)) + std::to_string(i);
            EXPECT_EQ(GetPrivateProfileIntA("S", key.c_str(), 0, file.c_str()), 1u) << key;
        }
}
