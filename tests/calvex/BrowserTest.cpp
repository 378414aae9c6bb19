// The video browser's window under Xvfb: opened through the library's
// export, it lists, plays, seeks, steps and trashes recordings the capture
// library wrote, and tells its owner when it goes.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/display.h>
#include <wx/toplevel.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Clips.h"
#include "WxTestLoop.h"
#include "calvex/BrowserFrame.h"
#include "calvex/Calvex.h"
#include "calvex/PlayerPanel.h"
#include "platform/Window.h"
#include "support/TestEnv.h"

using namespace calvex;
using calvex_test::MakeClip;
using strova::mpeg::MuxType;
namespace fs = std::filesystem;

namespace {

constexpr unsigned kClosed = 0x5831;

// A window of the owner's kind that counts the browser's messages.
struct Owner {
    Owner() : hwnd(plat::CreateWindowHandle(nullptr)) {
        plat::SetMessageSink(
            hwnd,
            [this](plat::UINT msg, plat::WPARAM, plat::LPARAM) {
                if (msg == kClosed) ++closed;
                return plat::LRESULT(0);
            },
            nullptr);
    }
    ~Owner() { plat::DestroyWindowHandle(hwnd); }
    plat::HWND hwnd;
    std::atomic<int> closed{0};
};

// The browser window still alive (windows closed go at the next idle time).
CBrowserFrame* OpenBrowser() {
    wxTheApp->ProcessIdle();
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* f = dynamic_cast<CBrowserFrame*>(w); f && !f->IsBeingDeleted()) return f;
    return nullptr;
}

}  // namespace

TEST(CalvexBrowser, PlaysSeeksStepsTrashesAndTellsTheOwnerOnClose) {
    const std::string dir = std::string(std::getenv("HOME")) + "/videos";
    fs::create_directories(dir);
    ASSERT_TRUE(MakeClip(dir + "/older.mpg", MuxType::Vcd, 4.0));
    ASSERT_TRUE(MakeClip(dir + "/newer.avi", MuxType::Avi, 2.0));
    fs::last_write_time(dir + "/older.mpg", fs::last_write_time(dir + "/newer.avi") - std::chrono::hours(1));
    Owner owner;
    ASSERT_NE(Calvex_Open(owner.hwnd, kClosed, dir.c_str()), 0);
    CBrowserFrame* f = OpenBrowser();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->Rows(), 2u);
    EXPECT_EQ(f->RowAt(0).name, "newer.avi");
    EXPECT_TRUE(wxDisplay(0u).GetClientArea().Contains(f->GetScreenRect())) << "the window fits the screen";
    ASSERT_TRUE(PumpUntil([&] { return f->CellText(1, 1) == "0:04"; }, 20000)) << f->CellText(1, 1);

    f->Select(1);
    f->PlaySelected();
    CPlayerPanel* p = f->Player();
    ASSERT_TRUE(PumpUntil([&] { return p->Playing() && p->Position() > 0.5; }, 15000)) << "the position did not advance";
    p->TogglePlay();
    p->SeekTo(3.0);
    ASSERT_TRUE(PumpUntil([&] { return std::abs(p->Position() - 3.0) < 0.1; }, 5000)) << p->Position();
    p->Step(true);
    ASSERT_TRUE(PumpUntil([&] { return p->Position() > 3.02; }, 5000)) << "no frame step: " << p->Position();
    EXPECT_FALSE(p->Playing());

    // Delete asks first; No keeps the file, Yes moves it to the trash.
    int asked = 0;
    AskHook() = [&](const wxString&, long) { return ++asked == 1 ? wxNO : wxYES; };
    f->DeleteSelected();
    EXPECT_TRUE(fs::exists(dir + "/older.mpg"));
    f->DeleteSelected();
    AskHook() = nullptr;
    EXPECT_FALSE(fs::exists(dir + "/older.mpg"));
    EXPECT_TRUE(fs::exists(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files/older.mpg"));
    EXPECT_EQ(f->Rows(), 1u);
    EXPECT_EQ(p->CurrentPath(), dir + "/newer.avi");

    f->RenameSelected("renamed.avi");
    EXPECT_TRUE(fs::exists(dir + "/renamed.avi"));
    EXPECT_EQ(f->RowAt(0).name, "renamed.avi");
    // A name typed without its extension keeps the recording's, so the file
    // stays a listed recording after Reload.
    f->RenameSelected("Holiday night");
    EXPECT_TRUE(fs::exists(dir + "/Holiday night.avi"));
    EXPECT_EQ(f->RowAt(0).name, "Holiday night.avi");

    EXPECT_EQ(owner.closed, 0);
    f->Close(true);
    ASSERT_TRUE(PumpUntil([&] { return !OpenBrowser() && owner.closed == 1; }, 5000));
    Pump(100);
    EXPECT_EQ(owner.closed, 1) << "the message goes once";
}

// A missing folder still opens (and says so); closing for a departing
// owner sends nothing.
TEST(CalvexBrowser, MissingFolderOpensAndCloseForTheOwnerIsSilent) {
    Owner owner;
    EXPECT_EQ(Calvex_Open(owner.hwnd, kClosed, nullptr), 0);
    const std::string missing = std::string(std::getenv("HOME")) + "/no such folder";
    ASSERT_NE(Calvex_Open(owner.hwnd, kClosed, missing.c_str()), 0);
    CBrowserFrame* f = OpenBrowser();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Rows(), 0u);
    EXPECT_NE(f->GetStatusBar()->GetStatusText().Find("does not exist"), wxNOT_FOUND);
    Calvex_Close(owner.hwnd);
    ASSERT_TRUE(PumpUntil([&] { return !OpenBrowser(); }, 5000));
    Pump(100);
    EXPECT_EQ(owner.closed, 0);
}

// Screenshot of the window for the manual: TELLURA_SHOT=<file.png>.
TEST(Showcase, DISABLED_VideoBrowser) {
    const std::string dir = std::string(std::getenv("HOME")) + "/Recordings";
    fs::create_directories(dir);
    const char* names[] = {"20261209-Capture0001.mpg", "20261209-Capture0002.mpg", "20261209-Capture0003.avi",
                           "20261208-Capture0004.mpg"};
    const MuxType types[] = {MuxType::Vcd, MuxType::Dvd, MuxType::Avi, MuxType::Vcd};
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(MakeClip(dir + "/" + names[i], types[i], 2.0 + i));
    Owner owner;
    ASSERT_NE(Calvex_Open(owner.hwnd, kClosed, dir.c_str()), 0);
    CBrowserFrame* f = OpenBrowser();
    ASSERT_NE(f, nullptr);
    f->SetPosition({420, 0});  // the pointer rests over the list, away from the tooltips
    ASSERT_TRUE(PumpUntil([&] { return f->Folder().AllFramed(); }, 20000));
    Pump(500);
    f->Select(1);
    f->PlaySelected();
    PumpUntil([&] { return f->Player()->Position() > 1.2; }, 10000);
    f->Player()->TogglePlay();
    Pump(500);
    if (const char* shot = std::getenv("TELLURA_SHOT")) {
        const wxRect r = f->GetScreenRect();
        std::system(("import -window root -crop " + std::to_string(r.width) + "x" + std::to_string(r.height) + "+" +
                     std::to_string(r.x) + "+" + std::to_string(r.y) + " " + shot).c_str());
    }
    f->Close(true);
    PumpUntil([&] { return !OpenBrowser(); }, 5000);
}
