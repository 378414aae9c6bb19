// The folder picker, driven through its shown hook under an X server.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <wx/app.h>
#include <wx/init.h>

#include "common/FolderDialog.h"
#include "support/TestEnv.h"

using tellura::test::ScopedHome;

namespace {

bool Gui() {
    static const bool ok = [] {
        wxApp::SetInstance(new wxApp);
        static char name[] = "test-common-folder";
        static char* argv[] = {name, nullptr};
        int argc = 1;
        return wxEntryStart(argc, argv);
    }();
    return ok;
}

// Installs a hook for one dialog and removes it again.
struct Answer {
    explicit Answer(CFolderDialog::ShownFn fn) { CFolderDialog::ShownHook() = std::move(fn); }
    ~Answer() { CFolderDialog::ShownHook() = nullptr; }
};

std::string MakeDir(const ScopedHome& home, const std::string& rel) {
    const std::string p = home.path(rel);
    tellura::test::WriteFile(p + "/.keep", "");
    return p;
}

}  // namespace

TEST(FolderDialog, StatusTextIsCutAfter35Characters) {
    EXPECT_EQ(CFolderDialog::ShortenStatus(std::string(35, 'a')), std::string(35, 'a'));
    EXPECT_EQ(CFolderDialog::ShortenStatus(std::string(40, 'b')), std::string(35, 'b') + "...");
    EXPECT_EQ(CFolderDialog::ShortenStatus(""), "");
    // 34 ASCII characters then two-byte ones: the 35th character stays whole.
    const std::string umlauts = std::string(34, 'c') + "\xC3\xA4\xC3\xB6\xC3\xBC";
    EXPECT_EQ(CFolderDialog::ShortenStatus(umlauts), std::string(34, 'c') + "\xC3\xA4...");
}

// The start folder is preselected and shown shortened; a click on another
// folder updates the status line, and OK returns 1 with that folder.
TEST(FolderDialog, SelectionChangeUpdatesStatusAndOkReturnsIt) {
    ASSERT_TRUE(Gui());
    ScopedHome home;
    const std::string start = MakeDir(home, "a-rather-long-folder-name-for-the-status");
    const std::string other = MakeDir(home, "other");
    std::string caption, before, after;
    bool selected = false;
    Answer answer([&](CFolderDialog& d) {
        caption = d.Caption();
        before = d.StatusText();
        selected = d.SelectFolder(other + "/");
        after = d.StatusText();
        d.EndModal(CFolderDialog::kOk);
    });
    CFolderDialog dlg(start + "/");
    EXPECT_EQ(dlg.ShowModal(), CFolderDialog::kOk);
    EXPECT_EQ(caption, "Browse Folder");
    EXPECT_EQ(before, CFolderDialog::ShortenStatus(start + "/"));
    EXPECT_TRUE(selected);
    EXPECT_EQ(after, other);
    EXPECT_EQ(dlg.ChosenFolder(), other);
}

// Cancel after a change returns 2 and keeps the start folder, also when the
// start folder does not exist.
TEST(FolderDialog, CancelKeepsTheStartFolder) {
    ASSERT_TRUE(Gui());
    ScopedHome home;
    const std::string other = MakeDir(home, "picked");
    for (const std::string& start : {home.path("missing/"), home.root()}) {
        std::string caption;
        Answer answer([&](CFolderDialog& d) {
            caption = d.Caption();
            d.SelectFolder(other);
            d.EndModal(CFolderDialog::kCancel);
        });
        CFolderDialog dlg(start, 0, nullptr, "Select Video Folder");
        EXPECT_EQ(dlg.ShowModal(), CFolderDialog::kCancel);
        EXPECT_EQ(dlg.ChosenFolder(), start);
        EXPECT_EQ(caption, "Select Video Folder");
    }
}
