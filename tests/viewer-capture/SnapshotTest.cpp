// Snapshots (1012) and "save current picture as" (1011) through the real
// capture library: names, numbering, formats, quality and the failure paths.
#include "CaptureTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include "ornix/Ornix.h"
#include "orvane/core/Settings.h"

namespace {

std::string Head(const std::string& path, size_t n) { return tellura::test::ReadFile(path).substr(0, n); }

bool IsBmp(const std::string& path) { return Head(path, 2) == "BM"; }
bool IsJpeg(const std::string& path) { return Head(path, 2) == "\xFF\xD8" && FileType(path.c_str()) == ORNIX_TYPE_JPEG; }

int JpegQuality(const std::string& path) {
    const std::string q = Shell("identify -format %Q '" + path + "'");
    return q.empty() ? -1 : std::atoi(q.c_str());
}

// Makes dir unwritable: a read-only mount where allowed, else permissions
// (which do not bind root). False when neither works here.
bool MakeReadOnly(const std::string& dir) {
    if (CanMount()) return MountTmpfs(dir, 64, true);
    if (::geteuid() == 0) return false;
    return ::chmod(dir.c_str(), 0555) == 0;
}

}  // namespace

using Snapshot = CaptureFixture;

TEST_F(Snapshot, BmpNumberingContinuesFromTheFolder) {
    for (const char* name : {"20030105-7.bmp", "20030105-12.bmp", "20030105-x.bmp", "20030104-50.bmp", "20030105-30.jpg"})
        tellura::test::WriteFile(Snaps() + name, "old");
    CountFromFolders();
    ASSERT_EQ(rt_.lastBmpNumber, 12);

    EXPECT_TRUE(cmd_.HandleCommand(orvane::capture_ids::kSnapshot));
    cmd_.Snapshot();
    EXPECT_EQ(host_.texts, (std::vector<std::string>{"OKAY !", "OKAY !"}));
    EXPECT_TRUE(host_.messages.empty());
    EXPECT_EQ(rt_.lastBmpNumber, 14);
    EXPECT_EQ(rt_.lastJpgNumber, 30);  // the other kind's counter is untouched
    for (const char* name : {"20030105-13.bmp", "20030105-14.bmp"}) {
        const std::string path = Snaps() + name;
        ASSERT_TRUE(IsBmp(path)) << name;
        // Another program reads it as the card's picture.
        EXPECT_EQ(Shell("identify -format %m:%wx%h '" + path + "'"), "BMP3:" + stillSize_) << name;
    }
    EXPECT_EQ(FilesIn(Snaps()).size(), 7u);  // nothing else, no temporary leftovers
    EXPECT_EQ(rt_.snapFolderOk, 2);
}

TEST_F(Snapshot, JpegSnapshotsCarryTheConfiguredQuality) {
    rt_.isSaveAsJpeg = 1;
    tellura::test::WriteFile(Snaps() + "20030105-4.jpg", "old");
    CountFromFolders();
    const struct { int setting, expected; } cases[] = {{30, 30}, {90, 90}, {5, 10}};  // below range: clamped
    int number = 4;
    for (const auto& c : cases) {
        rt_.jpegQuality = c.setting;
        cmd_.Snapshot();
        const std::string path = Snaps() + "20030105-" + std::to_string(++number) + ".jpg";
        ASSERT_TRUE(IsJpeg(path)) << path;
        EXPECT_NEAR(JpegQuality(path), c.expected, 5) << path;
        EXPECT_EQ(Shell("identify -format %wx%h '" + path + "'"), stillSize_);
    }
    EXPECT_EQ(rt_.lastJpgNumber, 7);
    EXPECT_EQ(rt_.lastBmpNumber, 0);
    EXPECT_EQ(host_.texts, (std::vector<std::string>(3, "OKAY !")));
}

TEST_F(Snapshot, FullSizePictureWhenHalfPictureIsOff) {
    ASSERT_EQ(orvane::WriteSettingNumber("halfpic", 0), 0);
    cmd_.Snapshot();
    const int halfWidth = std::atoi(stillSize_.c_str());
    const std::string full = Shell("identify -format %w '" + Snaps() + "20030105-1.bmp'");
    EXPECT_EQ(std::atoi(full.c_str()), 2 * halfWidth) << stillSize_;
}

TEST_F(Snapshot, FailedWriteRestoresTheCounterAndShowsFault) {
    // First write fine, the second one fails because its name is taken by a
    // folder: the counter goes back, so the next success reuses the number.
    cmd_.Snapshot();
    ::mkdir((Snaps() + "20030105-2.bmp").c_str(), 0755);
    cmd_.Snapshot();
    EXPECT_EQ(rt_.lastBmpNumber, 1);
    ::rmdir((Snaps() + "20030105-2.bmp").c_str());
    cmd_.Snapshot();
    EXPECT_TRUE(IsBmp(Snaps() + "20030105-2.bmp"));
    EXPECT_EQ(host_.texts, (std::vector<std::string>{"OKAY !", "FAULT !", "OKAY !"}));

    // The same for JPEG.
    rt_.isSaveAsJpeg = 1;
    ::mkdir((Snaps() + "20030105-1.jpg").c_str(), 0755);
    cmd_.Snapshot();
    EXPECT_EQ(rt_.lastJpgNumber, 0);
    EXPECT_EQ(host_.texts.back(), "FAULT !");
}

TEST_F(Snapshot, ReadOnlyFolderShowsFaultAndLeavesNothing) {
    const std::string dir = home_.path("readonly/");
    ::mkdir(dir.c_str(), 0755);
    if (!MakeReadOnly(dir)) GTEST_SKIP() << "no way to make a folder read-only for this user";
    orvane::CopyField(rt_.snapshotPath, dir);
    rt_.lastBmpNumber = 8;
    cmd_.Snapshot();
    rt_.isSaveAsJpeg = 1;
    cmd_.Snapshot();
    EXPECT_EQ(host_.texts, (std::vector<std::string>{"FAULT !", "FAULT !"}));
    EXPECT_TRUE(host_.messages.empty());  // the folder exists: no folder message
    EXPECT_EQ(rt_.lastBmpNumber, 8);
    EXPECT_EQ(rt_.lastJpgNumber, 0);
    EXPECT_TRUE(FilesIn(dir).empty());
    Unmount(dir);
    ::chmod(dir.c_str(), 0755);
}

TEST_F(Snapshot, MissingOrUnusableFolder) {
    orvane::CopyField(rt_.snapshotPath, home_.path("missing/"));
    cmd_.Snapshot();
    EXPECT_EQ(host_.messages,
              (std::vector<std::string>{"Error: Snapshot directory don't exist!Choose it again,please."}));
    EXPECT_TRUE(host_.texts.empty());
    EXPECT_EQ(rt_.snapFolderOk, 0);
    EXPECT_EQ(rt_.lastBmpNumber, 0);

    // A file given as the folder passes the check but cannot take pictures.
    tellura::test::WriteFile(home_.path("plain"), "x");
    orvane::CopyField(rt_.snapshotPath, home_.path("plain/"));
    cmd_.Snapshot();
    EXPECT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.texts, (std::vector<std::string>{"FAULT !"}));
    EXPECT_EQ(rt_.lastBmpNumber, 0);
}

TEST_F(Snapshot, AskForANameUnlessFromTheRemote) {
    rt_.userEnSnap = 1;
    host_.answer = "";  // the dialog is cancelled
    cmd_.HandleCommand(orvane::capture_ids::kSnapshot);
    ASSERT_EQ(host_.dialogs.size(), 1u);
    EXPECT_TRUE(FilesIn(Snaps()).empty());
    EXPECT_TRUE(IsBmp(rt_.tempStillFile));  // a cancelled dialog keeps the temporary still

    // Remote key 160 takes the snapshot without asking.
    EXPECT_TRUE(cmd_.HandleRemoteAction(orvane::MapRemoteCode(160).action));
    EXPECT_EQ(host_.dialogs.size(), 1u);
    EXPECT_TRUE(IsBmp(Snaps() + "20030105-1.bmp"));
    EXPECT_EQ(host_.texts, (std::vector<std::string>{"OKAY !"}));
    EXPECT_FALSE(cmd_.HandleRemoteAction(orvane::RemoteAction::Mute));
}

TEST_F(Snapshot, SaveAsCopiesTheStillAndRemembersTheFolder) {
    const std::string other = home_.path("chosen");
    ::mkdir(other.c_str(), 0755);
    rt_.isSaveAsJpeg = 1;
    rt_.jpegQuality = 40;
    host_.answer = other + "/picture.jpg";
    cmd_.HandleCommand(orvane::capture_ids::kSaveAs);
    ASSERT_EQ(host_.dialogs.size(), 1u);
    const orvane::SaveDialogSetup& jpg = host_.dialogs[0];
    EXPECT_EQ(jpg.defaultExtension, "JPG File");
    EXPECT_EQ(jpg.fileName, "*.jpg");
    EXPECT_EQ(jpg.filter, "JPG Files (*.jpg)|*.jpg||");
    EXPECT_EQ(jpg.folder, Snaps());
    EXPECT_TRUE(jpg.overwritePrompt);
    EXPECT_TRUE(IsJpeg(host_.answer));
    EXPECT_NEAR(JpegQuality(host_.answer), 40, 5);
    EXPECT_STREQ(rt_.saveAsPath, other.c_str());  // up to the last '/', without it

    // BMP into the remembered folder, replacing a file that is there.
    rt_.isSaveAsJpeg = 0;
    tellura::test::WriteFile(other + "/shot.bmp", "old content");
    host_.answer = other + "/shot.bmp";
    cmd_.SaveAs();
    ASSERT_EQ(host_.dialogs.size(), 2u);
    EXPECT_EQ(host_.dialogs[1].filter, "BMP Files (*.bmp)|*.bmp||");
    EXPECT_EQ(host_.dialogs[1].defaultExtension, "BMP File");
    EXPECT_EQ(host_.dialogs[1].folder, other);
    EXPECT_TRUE(IsBmp(other + "/shot.bmp"));
    EXPECT_TRUE(host_.texts.empty());
    EXPECT_EQ(rt_.lastBmpNumber + rt_.lastJpgNumber, 0);  // save-as never counts

    // Cancelled: the folder stays.
    host_.answer = "";
    cmd_.SaveAs();
    EXPECT_STREQ(rt_.saveAsPath, other.c_str());
}

TEST_F(Snapshot, SaveAsWithoutAStillAsksNothing) {
    // A stale temporary still from an earlier run must not be offered.
    const std::string dir = home_.path("tmpro/");
    ::mkdir(dir.c_str(), 0755);
    tellura::test::WriteFile(dir + "%wdmsnp%.tmp", tellura::test::ReadFile(rt_.tempStillFile));
    orvane::CopyField(rt_.tempStillFile, dir + "sub/%wdmsnp%.tmp");  // folder missing: nothing can be written
    host_.answer = home_.path("never.bmp");
    cmd_.SaveAs();
    EXPECT_TRUE(host_.dialogs.empty());
    EXPECT_EQ(host_.texts, (std::vector<std::string>{"FAULT !"}));
    EXPECT_FALSE(FileExists(host_.answer));
}
