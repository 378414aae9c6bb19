// Registry store: value semantics, file format, damage handling, atomicity
// across killed writers and concurrent processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/Registry.h"
#include "support/TestEnv.h"

using namespace plat;
using tellura::test::ReadFile;
using tellura::test::ScopedHome;
using tellura::test::WriteFile;
namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "Software\\Quorvel\\Tellura";

long SetDword(HKEY k, const char* name, uint32_t v) {
    return RegSetValueExA(k, name, REG_DWORD, reinterpret_cast<const uint8_t*>(&v), 4);
}
long SetText(HKEY k, const char* name, const std::string& v) {
    return RegSetValueExA(k, name, REG_SZ, reinterpret_cast<const uint8_t*>(v.c_str()), DWORD(v.size() + 1));
}
bool GetDword(HKEY k, const char* name, uint32_t& v) {
    DWORD type = 0, size = 4;
    return RegQueryValueExA(k, name, &type, reinterpret_cast<uint8_t*>(&v), &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == 4;
}
HKEY Open(const char* path = kKey) {
    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, &k), ERROR_SUCCESS);
    return k;
}
int CountBadFiles(const std::string& dir) {
    int n = 0;
    for (auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().starts_with("registry.reg.bad-")) ++n;
    return n;
}

}  // namespace

TEST(Registry, RoundTripsAllTypesThroughTheFile) {
    ScopedHome home;
    HKEY k = Open();
    ASSERT_EQ(SetText(k, "Path", "C:\\dir \"quoted\""), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(k, "Count", 30), ERROR_SUCCESS);
    const uint8_t blob[] = {0, 1, 0xfe, 0xff};
    ASSERT_EQ(RegSetValueExA(k, "Blob", REG_BINARY, blob, 4), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(k), ERROR_SUCCESS);

    std::string text = ReadFile(RegistryFilePath());
    EXPECT_TRUE(text.starts_with("Windows Registry Editor Version 5.00\r\n"));
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Quorvel\\Tellura]"), std::string::npos);
    EXPECT_NE(text.find("\"Path\"=\"C:\\\\dir \\\"quoted\\\"\""), std::string::npos);
    EXPECT_NE(text.find("\"Count\"=dword:0000001e"), std::string::npos);
    EXPECT_NE(text.find("\"Blob\"=hex:00,01,fe,ff"), std::string::npos);

    // A rewritten file (new inode) is read back by a fresh handle.
    WriteFile(RegistryFilePath(), text + "[HKEY_LOCAL_MACHINE\\Other]\r\n\"x\"=dword:00000001\r\n");
    k = Open("Other");
    uint32_t x = 0;
    EXPECT_TRUE(GetDword(k, "x", x));
    EXPECT_EQ(x, 1u);
    RegCloseKey(k);
    k = Open("software\\QUORVEL\\tellura");  // keys are case-insensitive
    char buf[64];
    DWORD type = 0, size = sizeof buf;
    ASSERT_EQ(RegQueryValueExA(k, "PATH", &type, reinterpret_cast<uint8_t*>(buf), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 16u);  // the terminating zero is part of the value
    EXPECT_STREQ(buf, "C:\\dir \"quoted\"");
    uint8_t back[4];
    size = 4;
    ASSERT_EQ(RegQueryValueExA(k, "blob", &type, back, &size), ERROR_SUCCESS);
    EXPECT_EQ(0, std::memcmp(back, blob, 4));
    RegCloseKey(k);
}

TEST(Registry, QuerySizesFollowWindows) {
    ScopedHome home;
    HKEY k = Open();
    SetText(k, "Name", "hello");
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(k, "Name", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    char small[3] = {'x', 'x', 'x'};
    size = 3;
    EXPECT_EQ(RegQueryValueExA(k, "Name", &type, reinterpret_cast<uint8_t*>(small), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(small[0], 'x');  // nothing copied on MORE_DATA
    EXPECT_EQ(RegQueryValueExA(k, "Name", &type, reinterpret_cast<uint8_t*>(small), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(k, "Missing", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(k, "name"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(k, "Name", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(k, "name"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(k);
}

TEST(Registry, NamesKeepFirstCaseAndOddDataSurvives) {
    ScopedHome home;
    HKEY k = Open();
    SetDword(k, "MixedCase", 1);
    SetDword(k, "MIXEDCASE", 2);
    const uint8_t noTerminator[] = {'a', 'b'};
    RegSetValueExA(k, "Raw", REG_SZ, noTerminator, 2);
    SetText(k, "Lines", "a\nb");
    RegCloseKey(k);
    std::string text = ReadFile(RegistryFilePath());
    EXPECT_NE(text.find("\"MixedCase\"=dword:00000002"), std::string::npos);
    EXPECT_EQ(text.find("MIXEDCASE"), std::string::npos);

    WriteFile(RegistryFilePath(), text);  // force a re-read from disk
    k = Open();
    char buf[8] = {};
    DWORD type = 0, size = sizeof buf;
    ASSERT_EQ(RegQueryValueExA(k, "raw", &type, reinterpret_cast<uint8_t*>(buf), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 2u);  // stored bytes kept exactly, no terminator added
    size = sizeof buf;
    ASSERT_EQ(RegQueryValueExA(k, "lines", &type, reinterpret_cast<uint8_t*>(buf), &size), ERROR_SUCCESS);
    EXPECT_STREQ(buf, "a\nb");
    RegCloseKey(k);
}

TEST(Registry, RejectsBadPathsNamesAndHandles) {
    ScopedHome home;
    HKEY k = nullptr;
    for (const char* bad : {"Software\\..\\x", "Software\\\\x", "\\Software", "Software\\", "a\nb", "a\\.\\b"})
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, bad, &k), ERROR_INVALID_PARAMETER) << bad;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, std::string(256, 'k').c_str(), &k), ERROR_INVALID_PARAMETER);
    std::string deep = "K";
    for (unsigned i = 1; i < kRegMaxDepth; ++i) deep += "\\K";
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (deep + "\\K").c_str(), &k), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, deep.c_str(), &k), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Nothing", &k), ERROR_FILE_NOT_FOUND);
    k = Open();
    EXPECT_EQ(SetDword(k, std::string(256, 'n').c_str(), 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetDword(k, std::string(255, 'n').c_str(), 1), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(k, "tab\there", 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(k, "x", REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    RegCloseKey(k);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);  // already freed
    EXPECT_EQ(SetDword(nullptr, "x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\quorvel", &k), ERROR_SUCCESS);  // parents exist
    RegCloseKey(k);
}

TEST(Registry, BadFilesAreKeptAsideAndTheStoreStartsEmpty) {
    std::string deep = "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE";
    for (int i = 0; i < 40000; ++i) deep += "\\K";  // deeper than any key may be
    deep += "]\r\n";
    const std::string cases[] = {
        deep,
        "garbage that is no registry file\n",
        "[Desktop Entry]\nName=x\n",
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Quorvel\\Tellura]\r\n\"a\"=\"trunc",
        "Windows Registry Editor Version 5.00\r\n\"orphan\"=dword:00000001\r\n",
        "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=dword:0001\r\n",
        "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=hex:01,0\r\n",
    };
    for (const std::string& content : cases) {
        ScopedHome home;
        ASSERT_TRUE(WriteFile(RegistryFilePath(), content));
        HKEY k = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", &k), ERROR_FILE_NOT_FOUND) << content;
        std::string dir = fs::path(RegistryFilePath()).parent_path();
        ASSERT_EQ(CountBadFiles(dir), 1) << content;
        for (auto& e : fs::directory_iterator(dir)) {
            if (e.path().filename().string().starts_with("registry.reg.bad-")) {
                EXPECT_EQ(ReadFile(e.path()), content);
            }
        }
        // The store works again and writes a sound file.
        k = Open();
        SetDword(k, "v", 7);
        EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
        EXPECT_NE(ReadFile(RegistryFilePath()).find("\"v\"=dword:00000007"), std::string::npos);
    }
}

TEST(Registry, AcceptsHandWrittenWindowsExport) {
    ScopedHome home;
    std::string text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n"
        "; comment\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Tellura]\n"
        "@=\"default\"\n\"Wide\"=hex(2):41,00,\\\n  42,00\n\"Gone\"=-\n"
        "[HKEY_CURRENT_USER\\Other]\n\"keep\"=dword:00000009\n"
        "[HKEY_CURRENT_USER\\Two\\\\Slashes]\n\"v\"=dword:00000002\n";  // an empty key name
    WriteFile(RegistryFilePath(), text);
    HKEY k = Open();
    char buf[16] = {};
    DWORD type = 0, size = sizeof buf;
    ASSERT_EQ(RegQueryValueExA(k, "", &type, reinterpret_cast<uint8_t*>(buf), &size), ERROR_SUCCESS);
    EXPECT_STREQ(buf, "default");
    size = sizeof buf;
    ASSERT_EQ(RegQueryValueExA(k, "wide", &type, reinterpret_cast<uint8_t*>(buf), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_EQ(size, 4u);
    SetDword(k, "new", 1);
    RegCloseKey(k);
    std::string out = ReadFile(RegistryFilePath());
    EXPECT_NE(out.find("[HKEY_CURRENT_USER\\Other]\r\n\"keep\"=dword:00000009"), std::string::npos);
    EXPECT_NE(out.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvel\\Tellura]"), std::string::npos);
    // What was written reads again (a new inode makes the store re-read it).
    WriteFile(RegistryFilePath() + std::string(".new"), out);
    fs::rename(RegistryFilePath() + std::string(".new"), RegistryFilePath());
    k = Open();
    uint32_t v = 0;
    EXPECT_TRUE(GetDword(k, "new", v));
    RegCloseKey(k);
    EXPECT_EQ(CountBadFiles(fs::path(RegistryFilePath()).parent_path()), 0);
}

TEST(Registry, BatchReachesTheFileAtCloseAndIsVisibleBefore) {
    ScopedHome home;
    HKEY k = Open();
    SetDword(k, "Pending", 5);
    HKEY other = Open();
    uint32_t v = 0;
    EXPECT_TRUE(GetDword(other, "pending", v));  // visible in this process at once
    EXPECT_EQ(v, 5u);
    EXPECT_EQ(ReadFile(RegistryFilePath()).find("Pending"), std::string::npos);
    RegCloseKey(k);
    EXPECT_NE(ReadFile(RegistryFilePath()).find("\"Pending\"=dword:00000005"), std::string::npos);

    // Another process's write shows through a handle that stays open, and the
    // batch of that handle still merges with it.
    SetDword(other, "Mine", 1);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        HKEY c = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, &c);
        SetDword(c, "Theirs", 2);
        _exit(RegCloseKey(c) == ERROR_SUCCESS ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(GetDword(other, "theirs", v));
    EXPECT_EQ(v, 2u);
    EXPECT_TRUE(GetDword(other, "mine", v));
    RegCloseKey(other);
    std::string text = ReadFile(RegistryFilePath());
    EXPECT_NE(text.find("\"Theirs\"=dword:00000002"), std::string::npos);
    EXPECT_NE(text.find("\"Mine\"=dword:00000001"), std::string::npos);
}

TEST(Registry, ReadsAUtf16ExportFromWindows) {
    ScopedHome home;
    // "Café 📺" as UTF-16LE code units, inside an export with a byte-order mark.
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"Name\"=\"Caf\u00e9 \U0001F4FA\"\r\n";
    std::string wide = "\xFF\xFE";
    for (char16_t u : text) {
        wide += char(u & 0xFF);
        wide += char(u >> 8);
    }
    WriteFile(RegistryFilePath(), wide);
    HKEY k = Open("K");
    char buf[32] = {};
    DWORD type = 0, size = sizeof buf;
    ASSERT_EQ(RegQueryValueExA(k, "name", &type, reinterpret_cast<uint8_t*>(buf), &size), ERROR_SUCCESS);
    EXPECT_STREQ(buf, "Caf\xC3\xA9 \xF0\x9F\x93\xBA");
    RegCloseKey(k);
    // An odd byte count is a damaged file.
    WriteFile(RegistryFilePath(), wide + "x");
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", &k), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CountBadFiles(fs::path(RegistryFilePath()).parent_path()), 1);
}

// A writer killed at any moment leaves either the old or the new batch.
TEST(Registry, KilledWriterNeverTearsTheFile) {
    ScopedHome home;
    constexpr int kValues = 1500;
    auto writeBatch = [](uint32_t gen) {
        HKEY k = Open();
        char name[16];
        for (int i = 0; i < kValues; ++i) {
            std::snprintf(name, sizeof name, "v%04d", i);
            SetDword(k, name, gen);
        }
        RegCloseKey(k);
    };
    writeBatch(0);
    for (int round = 0; round < 6; ++round) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (uint32_t gen = 1;; ++gen) writeBatch(gen);
        }
        usleep(useconds_t(3000 + round * 7000));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        HKEY k = Open();
        uint32_t first = 0, v = 0;
        ASSERT_TRUE(GetDword(k, "v0000", first));
        char name[16];
        for (int i = 0; i < kValues; ++i) {
            std::snprintf(name, sizeof name, "v%04d", i);
            ASSERT_TRUE(GetDword(k, name, v)) << name;
            ASSERT_EQ(v, first) << name;
        }
        RegCloseKey(k);
    }
    EXPECT_EQ(CountBadFiles(fs::path(RegistryFilePath()).parent_path()), 0);
    // The next write clears temporary files the killed writers left behind.
    HKEY k = Open();
    SetDword(k, "after", 1);
    RegCloseKey(k);
    for (auto& e : fs::directory_iterator(fs::path(RegistryFilePath()).parent_path()))
        EXPECT_FALSE(e.path().filename().string().starts_with("registry.reg.tmp-")) << e.path();
}

TEST(Registry, TwoProcessesKeepEachOthersValues) {
    ScopedHome home;
    Open();  // creates the key and the file
    pid_t kids[2];
    for (int p = 0; p < 2; ++p) {
        kids[p] = fork();
        ASSERT_GE(kids[p], 0);
        if (kids[p] == 0) {
            char name[16];
            for (int i = 0; i < 60; ++i) {
                HKEY k = nullptr;
                RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, &k);
                std::snprintf(name, sizeof name, "%c%02d", 'A' + p, i);
                SetDword(k, name, uint32_t(i));
                if (RegCloseKey(k) != ERROR_SUCCESS) _exit(1);
            }
            _exit(0);
        }
    }
    for (pid_t pid : kids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HKEY k = Open();
    char name[16];
    for (int p = 0; p < 2; ++p)
        for (int i = 0; i < 60; ++i) {
            std::snprintf(name, sizeof name, "%c%02d", 'A' + p, i);
            uint32_t v = 999;
            EXPECT_TRUE(GetDword(k, name, v)) << name;
            EXPECT_EQ(v, uint32_t(i));
        }
    RegCloseKey(k);
}

TEST(Registry, UnchangedBatchLeavesTheFileAlone) {
    ScopedHome home;
    HKEY k = Open();
    SetDword(k, "v", 1);
    RegCloseKey(k);
    struct stat before {}, after {};
    stat(RegistryFilePath(), &before);
    k = Open();
    SetDword(k, "V", 1);  // same value: no rewrite
    RegCloseKey(k);
    stat(RegistryFilePath(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    k = Open();
    SetDword(k, "v", 2);
    RegCloseKey(k);
    stat(RegistryFilePath(), &after);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_NE(ReadFile(RegistryFilePath()).find("\"v\"=dword:00000002"), std::string::npos);
}
