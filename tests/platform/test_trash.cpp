// The trash helper against the real GIO: a file goes to the home trash with
// its record, a missing file gives the C library's text, and a volume
// without a trash leaves the file alone until it is deleted for good.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/Trash.h"
#include "support/TestEnv.h"

using tellura::test::ReadFile;
using tellura::test::ScopedHome;
using tellura::test::WriteFile;

TEST(Trash, MovesToTheHomeTrashOrSaysWhyNot) {
    ScopedHome home;
    // GIO reads the data folder once per process; it must be this home's.
    ASSERT_EQ(std::string(g_get_user_data_dir()), home.path("data"));
    const std::string file = home.path("pics/a b.jpg");
    ASSERT_TRUE(WriteFile(file, "picture"));
    std::string error;
    ASSERT_EQ(plat::MoveToTrash(file, &error), plat::TrashResult::Trashed) << error;
    EXPECT_NE(access(file.c_str(), F_OK), 0);
    EXPECT_EQ(ReadFile(home.path("data/Trash/files/a b.jpg")), "picture");
    const std::string info = ReadFile(home.path("data/Trash/info/a b.jpg.trashinfo"));
    EXPECT_NE(info.find("[Trash Info]"), std::string::npos);
    EXPECT_NE(info.find("Path=" + home.root() + "/pics/a%20b.jpg"), std::string::npos) << info;
    EXPECT_NE(info.find("DeletionDate="), std::string::npos);

    EXPECT_EQ(plat::MoveToTrash(file, &error), plat::TrashResult::Failed);
    EXPECT_EQ(error, "No such file or directory");

    // Shared memory is a system mount: GIO keeps no trash there.
    const std::string shm = "/dev/shm/tellura-trash-test-" + std::to_string(getpid());
    ASSERT_TRUE(WriteFile(shm, "x"));
    EXPECT_EQ(plat::MoveToTrash(shm, &error), plat::TrashResult::NoTrash);
    EXPECT_EQ(access(shm.c_str(), F_OK), 0);
    EXPECT_TRUE(plat::DeleteForGood(shm, &error));
    EXPECT_FALSE(plat::DeleteForGood(shm, &error));
    EXPECT_EQ(error, "No such file or directory");
}
