// Viewer settings store over CRegKey: first start, load bounds, table round
// trip, values never written at exit, over-long texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/RegKey.h"
#include "orvane/core/Settings.h"
#include "support/TestEnv.h"

using namespace orvane;
using tellura::test::ReadFile;
using tellura::test::ScopedHome;

namespace {

void Put(const char* name, unsigned v) {
    CRegKey k;
    ASSERT_EQ(k.Open(plat::HKEY_LOCAL_MACHINE, kSettingsKey), 0);
    ASSERT_EQ(k.WriteNumber(name, v), 0);
}
void PutText(const char* key, const char* name, const std::string& v) {
    CRegKey k;
    ASSERT_EQ(k.Open(plat::HKEY_LOCAL_MACHINE, key), 0);
    ASSERT_EQ(k.WriteString(name, v.c_str()), 0);
}
std::string GetText(const char* key, const char* name) {
    CRegKey k;
    std::string v = "<missing>";
    k.Open(plat::HKEY_LOCAL_MACHINE, key);
    k.ReadString(name, v);
    return v;
}

}  // namespace

TEST(CRegKey, ReadsKeepTheDefaultOnFailure) {
    ScopedHome home;
    CRegKey k;
    ASSERT_EQ(k.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Test"), 0);
    k.WriteString("t199", std::string(199, 'x').c_str());
    k.WriteString("t200", std::string(200, 'x').c_str());
    k.WriteNumber("n", 42);
    const uint8_t shortDword[] = {1, 2};
    plat::RegSetValueExA(k.Handle(), "short", plat::REG_DWORD, shortDword, 2);
    const uint8_t raw[] = {'a', 'b', 'c'};
    plat::RegSetValueExA(k.Handle(), "raw", plat::REG_SZ, raw, 3);
    std::string s = "default";
    EXPECT_EQ(k.ReadString("t199", s), 0);
    EXPECT_EQ(s.size(), 199u);
    s = "default";
    EXPECT_NE(k.ReadString("t200", s), 0);  // 201 bytes with the terminator
    EXPECT_NE(k.ReadString("n", s), 0);     // wrong kind
    EXPECT_NE(k.ReadString("none", s), 0);
    EXPECT_EQ(s, "default");
    EXPECT_EQ(k.ReadString("raw", s), 0);  // no terminator: stored length only
    EXPECT_EQ(s, "abc");
    unsigned n = 7;
    EXPECT_NE(k.ReadNumber("short", n), 0);
    EXPECT_NE(k.ReadNumber("raw", n), 0);
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(k.ReadNumber("N", n), 0);
    EXPECT_EQ(n, 42u);
    k.Close();
    EXPECT_EQ(k.ReadNumber("n", n), plat::ERROR_INVALID_HANDLE);  // closed key: failure, no crash
}

TEST(Settings, FirstStartGivesDefaultsAndCreatesBothKeys) {
    ScopedHome home;
    LoadSettings();
    RunTime& rt = Rt();
    EXPECT_EQ(rt.vidStandard, 32);
    EXPECT_EQ(rt.volume, 22767);
    EXPECT_EQ(rt.rMainWnd, 680);
    EXPECT_EQ(rt.bitStream, 1120);
    EXPECT_STREQ(rt.deviceName, "");
    EXPECT_EQ(std::string(rt.snapshotPath), home.root() + "/Pictures/");
    EXPECT_EQ(std::string(rt.recordPath), home.root() + "/Videos/");
    EXPECT_STREQ(rt.saveAsPath, rt.snapshotPath);
    EXPECT_STREQ(rt.channels[0].name, "001--TVChannal");
    EXPECT_STREQ(rt.channels[299].name, "300--TVChannal");
    EXPECT_STREQ(rt.faves[5].name, "TVChannal");
    EXPECT_EQ(rt.channels[299].freq, 0);
    EXPECT_NE(rt.startFolder[0], '\0');  // the current folder
    plat::HKEY k = nullptr;
    EXPECT_EQ(plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE, kSettingsKey, &k), 0);
    plat::RegCloseKey(k);
    EXPECT_EQ(GetText(kSharedKey, "SnapPath"), rt.snapshotPath);
    EXPECT_EQ(GetText(kSharedKey, "RecPath"), rt.recordPath);
    EXPECT_EQ(GetText(kSharedKey, "ExeName"), "");
}

TEST(Settings, LoadBoundsReplaceOutOfRangeValues) {
    ScopedHome home;
    Put("vid_source", 7);
    Put("vid_standard", 0);
    Put("vid_width", 1024);
    Put("vid_height_rec", 59);
    Put("vid_subtype", 5);
    Put("vid_hue", 20000);
    Put("vid_contrast", 10000);
    Put("JPEGQuality", 500);  // no load bound: kept
    LoadSettings();
    RunTime& rt = Rt();
    EXPECT_EQ(rt.vidSource, 1);
    EXPECT_EQ(rt.vidStandard, 32);
    EXPECT_EQ(rt.vidWidth, 320);
    EXPECT_EQ(rt.vidHeightRec, 240);
    EXPECT_EQ(rt.vidSubtype, 0);
    EXPECT_EQ(rt.vidHue, 5000);
    EXPECT_EQ(rt.vidContrast, 10000);
    EXPECT_EQ(rt.jpegQuality, 500);
    unsigned hue = 0;  // the second read takes the stored value
    EXPECT_EQ(ReadSettingNumber("vid_hue", hue), 0);
    EXPECT_EQ(hue, 20000u);
}

TEST(Settings, SaveAndLoadGiveBackBothTables) {
    ScopedHome home;
    LoadSettings();
    RunTime& rt = Rt();
    for (int i = 0; i < kChannelCount; ++i) {
        std::snprintf(rt.channels[i].name, kNameSize, "Ch %d \xC3\xA9", i);
        rt.channels[i].freq = 47750 + i * 1000;
        rt.channels[i].index = i * 3 - 1;
        std::snprintf(rt.faves[i].name, kNameSize, "Fave %d", i);
        rt.faves[i].freq = 865250 - i;
        rt.faves[i].index = -i;
    }
    rt.curTune = 17;
    CopyField(rt.deviceName, "Virtual Card");
    SaveSettings();
    ResetSettings(rt);
    LoadSettings();
    for (int i = 0; i < kChannelCount; ++i) {
        char expect[kNameSize];
        std::snprintf(expect, sizeof expect, "Ch %d \xC3\xA9", i);
        ASSERT_STREQ(rt.channels[i].name, expect);
        ASSERT_EQ(rt.channels[i].freq, 47750 + i * 1000);
        ASSERT_EQ(rt.channels[i].index, i * 3 - 1);
        ASSERT_EQ(rt.faves[i].freq, 865250 - i);
        ASSERT_EQ(rt.faves[i].index, -i);
    }
    EXPECT_EQ(rt.curTune, 17);
    EXPECT_STREQ(rt.deviceName, "Virtual Card");
    EXPECT_EQ(GetText(kSharedKey, "ExeName"), "Virtual Card");
}

TEST(Settings, AutoCurDirAndRecordingFormatAreNeverWrittenAtExit) {
    ScopedHome home;
    LoadSettings();
    Put("auto", 1);  // switched by hand while the viewer runs
    Rt().autoStart = 0;
    Rt().captureMode = 3;
    SaveSettings();
    std::string file = ReadFile(plat::RegistryFilePath());
    EXPECT_NE(file.find("\"auto\"=dword:00000001"), std::string::npos);
    EXPECT_EQ(file.find("CurDir"), std::string::npos);
    EXPECT_EQ(file.find("CaptureMode"), std::string::npos);
    EXPECT_EQ(file.find("bitstream"), std::string::npos);
    EXPECT_NE(file.find("\"sefdef\"=dword:00000001"), std::string::npos);
    // Save order: device first, favourite table last.
    EXPECT_LT(file.find("\"VideoDevice\""), file.find("\"IsCaptureAudio\""));
    EXPECT_LT(file.find("\"JPEGQuality\""), file.find("\"LogoFile\""));
    EXPECT_LT(file.find("\"Index299\""), file.find("\"szTvNamelo000\""));
}

TEST(Settings, OverLongTextsAreCutAtACharacterBoundary) {
    ScopedHome home;
    std::string name;
    for (int i = 0; i < 30; ++i) name += "\xE2\x82\xAC";  // 90 bytes of 3-byte characters
    PutText(kSettingsKey, "VideoDevice", name);
    PutText(kSettingsKey, "szTvName004", std::string(150, 'n'));
    PutText(kSettingsKey, "SnapshotPath", std::string(250, 'p'));  // over 200 bytes: default kept
    PutText(kSettingsKey, "CurDir", "/opt/tellura");
    LoadSettings();
    RunTime& rt = Rt();
    EXPECT_EQ(std::strlen(rt.deviceName), 78u);  // 26 whole characters
    EXPECT_EQ(std::string(rt.deviceName), name.substr(0, 78));
    EXPECT_EQ(std::strlen(rt.channels[4].name), 79u);
    EXPECT_EQ(std::string(rt.snapshotPath), home.root() + "/Pictures/");
    EXPECT_STREQ(rt.startFolder, "/opt/tellura");

    char field[4];
    EXPECT_FALSE(CopyField(field, "a\xC3\xA9z"));
    EXPECT_STREQ(field, "a\xC3\xA9");
    EXPECT_FALSE(CopyField(field, "ab\xC3\xA9"));
    EXPECT_STREQ(field, "ab");
    EXPECT_TRUE(CopyField(field, "abc"));
}

TEST(Settings, SingleValueWritersReachTheFileAtOnce) {
    ScopedHome home;
    LoadSettings();
    EXPECT_EQ(WriteSettingNumber("vid_standard", 16), 0);
    EXPECT_EQ(WriteSettingString("LogoFile", "/tmp/l.bmp"), 0);
    CopyField(Rt().snapshotPath, "/media/snaps/");
    EXPECT_EQ(WriteSharedPaths(), 0);
    std::string file = ReadFile(plat::RegistryFilePath());
    EXPECT_NE(file.find("\"vid_standard\"=dword:00000010"), std::string::npos);
    EXPECT_NE(file.find("\"LogoFile\"=\"/tmp/l.bmp\""), std::string::npos);
    EXPECT_NE(file.find("\"SnapPath\"=\"/media/snaps/\""), std::string::npos);
}
