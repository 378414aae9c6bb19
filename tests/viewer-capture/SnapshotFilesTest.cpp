// File helpers of the commands that need no library: the fresh-still test,
// the kept BMP after a failed re-encode and the dialog's extension rule.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "orvane/core/SnapshotDialog.h"
#include "orvane/core/SnapshotFiles.h"
#include "support/TestEnv.h"

using namespace orvane;

namespace {

std::string Bmp(uint32_t fileSize, size_t actual) {
    std::string b(actual, '\0');
    b[0] = 'B';
    b[1] = 'M';
    for (int i = 0; i < 4; ++i) b[2 + i] = char(fileSize >> (8 * i));
    return b;
}

}  // namespace

TEST(SnapshotFiles, OnlyAFreshCompleteBmpCounts) {
    tellura::test::ScopedHome home;
    const std::string path = home.path("s.bmp");
    EXPECT_FALSE(IsFreshBmp(path, StampOf(path)));  // nothing written

    ASSERT_TRUE(tellura::test::WriteFile(path, Bmp(100, 100)));
    const FileStamp existing = StampOf(path);
    EXPECT_TRUE(IsFreshBmp(path, FileStamp{}));
    EXPECT_FALSE(IsFreshBmp(path, existing));  // was there before, untouched

    ASSERT_TRUE(tellura::test::WriteFile(path, Bmp(100, 80)));  // header promises more than the file holds
    EXPECT_FALSE(IsFreshBmp(path, existing));
    ASSERT_TRUE(tellura::test::WriteFile(path, "GIF89a" + std::string(100, '\0')));
    EXPECT_FALSE(IsFreshBmp(path, existing));
    ASSERT_TRUE(tellura::test::WriteFile(path, Bmp(40, 40)));  // too short for the headers
    EXPECT_FALSE(IsFreshBmp(path, FileStamp{}));

    ::unlink(path.c_str());
    ::mkdir(path.c_str(), 0755);  // a folder under the name is no picture
    EXPECT_FALSE(IsFreshBmp(path, FileStamp{}));
    EXPECT_FALSE(StampOf(path).exists);
}

TEST(SnapshotFiles, ReencodeKeepsTheBmpWhenItCannotLoad) {
    tellura::test::ScopedHome home;
    const std::string path = home.path("bad.jpg");
    tellura::test::WriteFile(path, Bmp(60, 60));  // a BMP header without a picture
    EXPECT_FALSE(ReencodeAsJpeg(path, 80));
    EXPECT_EQ(tellura::test::ReadFile(path), Bmp(60, 60));
    EXPECT_FALSE(CopyFileReplacing(home.path("missing"), home.path("to")));
    EXPECT_FALSE(StampOf(home.path("to")).exists);
}

TEST(SaveDialog, FilterAndDefaultExtension) {
    EXPECT_EQ(DialogFilter("JPG Files (*.jpg)|*.jpg||"), "JPG Files (*.jpg)|*.jpg");
    EXPECT_EQ(WithDefaultExtension("/a/shot", "JPG File"), "/a/shot.jpg");
    EXPECT_EQ(WithDefaultExtension("/a/shot", "BMP File"), "/a/shot.bmp");
    EXPECT_EQ(WithDefaultExtension("/a/shot.png", "BMP File"), "/a/shot.png");  // the user's extension stays
    EXPECT_EQ(WithDefaultExtension("/a.b/shot", "JPG File"), "/a.b/shot.jpg");  // dots in folders do not count
    EXPECT_EQ(WithDefaultExtension("/a/", "JPG File"), "/a/");
}
