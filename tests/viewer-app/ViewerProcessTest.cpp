// The real viewer program as a child process under the test X server: it
// publishes its window under the device name, a second start finds it and
// ends at once, commands sent through the platform layer's window messages
// change its modes, a remote key tunes, and the settings are kept at exit.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>

#include "ViewerAppSupport.h"
#include "orvane/core/Settings.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/Resource.h"
#include "platform/Window.h"
#include "strova/Strova.h"

using orvane::Rt;

namespace {

plat::HWND WaitForWindow(const std::string& title, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (plat::HWND w = plat::FindWindowA(nullptr, title.c_str())) return w;
        wxMilliSleep(50);
    }
    return nullptr;
}

struct ChildViewer {
    int pid = -1;
    ~ChildViewer() {
        if (pid > 0 && WaitExit(pid, 0) < 0) KillChild(pid);
    }
};

// Settings for a child viewer on the virtual card with three channels;
// returns the card's name (the viewer's window title).
std::string SeedForChild(const std::function<void(orvane::RunTime&)>& more) {
    const std::string card = VirtualCardName();
    SeedSettings([&](orvane::RunTime& rt) {
        orvane::CopyField(rt.deviceName, card);
        SeedStations(rt, 3);
        more(rt);
    });
    Strova_Uninitialize();
    return card;
}

TEST(ViewerProcess, SingleInstanceCommandsRemoteAndSettingsAtExit) {
    tellura::test::ScopedHome home;
    const std::string card = SeedForChild([](orvane::RunTime& rt) {
        rt.lMainWnd = 200, rt.tMainWnd = 150, rt.rMainWnd = 600, rt.bMainWnd = 450;
        rt.isTopMost = 0;
        rt.isFixed43 = 1;
    });
    ASSERT_FALSE(card.empty());
    const std::string viewer = tellura::test::BinDir() + "/orvane";
    ChildViewer first;
    first.pid = Spawn(viewer, {});
    ASSERT_GT(first.pid, 0);
    plat::HWND w = WaitForWindow(card, 15000);
    ASSERT_NE(w, nullptr) << "the viewer's window never appeared";
    EXPECT_TRUE([&] {
        for (int i = 0; i < 100; ++i, wxMilliSleep(50))
            if (XWindowState(card, first.pid) == 0) return true;
        return false;
    }()) << "the viewer's window is not on the screen";

    // A second viewer finds the first one and ends without touching anything.
    ChildViewer second;
    second.pid = Spawn(viewer, {});
    EXPECT_EQ(WaitExit(second.pid, 10000), 0);
    EXPECT_EQ(WaitExit(first.pid, 0), -1) << "the first viewer ended";

    plat::SendMessage(w, kWmCommand, ID_ALWAYS_ON_TOP, 0);
    plat::SendMessage(w, kWmCommand, ID_FORCE_RATIO_43, 0);  // lock off
    plat::SendMessage(w, kWmCommand, ID_FORCE_SIZE_320, 0);
    ASSERT_EQ(std::system((tellura::test::BinDir() + "/tellura-remote next").c_str()), 0);
    wxMilliSleep(600);  // a few polls of the remote thread
    plat::SendMessage(w, kWmCommand, ID_TRAY_EXIT, 0);
    EXPECT_EQ(WaitExit(first.pid, 15000), 0);

    orvane::LoadSettings();
    EXPECT_EQ(std::string(Rt().deviceName), card);
    EXPECT_EQ(Rt().isTopMost, 1);
    EXPECT_EQ(Rt().isFixed43, 0);
    EXPECT_EQ(Rt().lMainWnd, 200);
    EXPECT_EQ(Rt().rMainWnd - Rt().lMainWnd, 330);
    EXPECT_EQ(Rt().bMainWnd - Rt().tMainWnd, 250);
    EXPECT_EQ(Rt().curTune, 1);
    EXPECT_EQ(Rt().totalTv, 3);
}

// Logout, shutdown or kill: the viewer runs its final close and keeps what
// changed in the run, also when the signal comes twice.
TEST(ViewerProcess, TerminationSignalSavesTheSettings) {
    tellura::test::ScopedHome home;
    const std::string card = SeedForChild([](orvane::RunTime& rt) { rt.isTopMost = 0; });
    ASSERT_FALSE(card.empty());
    ChildViewer child;
    const std::string errors = home.path("stderr.txt");
    child.pid = Spawn(tellura::test::BinDir() + "/orvane", {}, errors);
    plat::HWND w = WaitForWindow(card, 15000);
    ASSERT_NE(w, nullptr);
    plat::SendMessage(w, kWmCommand, ID_ALWAYS_ON_TOP, 0);  // answered once the window runs
    kill(child.pid, SIGTERM);
    kill(child.pid, SIGTERM);
    EXPECT_EQ(WaitExit(child.pid, 15000), 0);
    // Nothing the user did wrong reaches the terminal.
    const std::string printed = tellura::test::ReadFile(errors);
    EXPECT_EQ(printed.find("ALSA lib"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("CRITICAL"), std::string::npos) << printed;
    orvane::LoadSettings();
    EXPECT_EQ(Rt().isTopMost, 1);
    EXPECT_EQ(Rt().totalTv, 3);
    EXPECT_STREQ(Rt().channels[2].name, "TVChannal");
}

TEST(ViewerProcess, HiddenStartFromAnotherFolderKeepsTheWindowOff) {
    tellura::test::ScopedHome home;
    const std::string card = VirtualCardName();
    ASSERT_FALSE(card.empty());
    const std::string startDir = home.path("start");
    tellura::test::WriteFile(startDir + "/.keep", "");
    SeedSettings([&](orvane::RunTime& rt) { orvane::CopyField(rt.deviceName, card); });
    orvane::WriteSettingString("CurDir", startDir.c_str());
    Strova_Uninitialize();
    ChildViewer child;
    child.pid = Spawn(tellura::test::BinDir() + "/orvane", {});  // started from the test's folder
    plat::HWND w = WaitForWindow(card, 15000);
    ASSERT_NE(w, nullptr);
    wxMilliSleep(500);
    // Hidden: the panel and the keypad are not on the screen (the main window
    // is hidden, or minimised where there is no notification area).
    EXPECT_NE(XWindowState("Tellura Control Panel", child.pid), 0);
    EXPECT_NE(XWindowState("Tellura Remote-Control Unit", child.pid), 0);
    EXPECT_EQ(WaitExit(child.pid, 0), -1) << "the hidden viewer ended";
    // The splash picture was copied into the system folder.
    EXPECT_FALSE(tellura::test::ReadFile(home.path("data/quorvel/system/Korblend.bmp")).empty());
    plat::SendMessage(w, kWmCommand, ID_TRAY_EXIT, 0);
    EXPECT_EQ(WaitExit(child.pid, 15000), 0);
}

// The image browser starts beside the viewer, which steps aside; a browser
// that dies without telling the viewer still brings it back.
TEST(ViewerProcess, ImageBrowserHidesTheViewerUntilItsProcessEnds) {
    tellura::test::ScopedHome home;
    const std::string card = SeedForChild([](orvane::RunTime& rt) { rt.isTopMost = 0; });
    ASSERT_FALSE(card.empty());
    ChildViewer child;
    child.pid = Spawn(tellura::test::BinDir() + "/orvane", {});
    plat::HWND w = WaitForWindow(card, 15000);
    ASSERT_NE(w, nullptr);
    auto state = [&](int want) {
        for (int i = 0; i < 300; ++i, wxMilliSleep(50))
            if (XWindowState(card, child.pid) == want) return true;
        return false;
    };
    ASSERT_TRUE(state(0));
    plat::SendMessage(w, kWmCommand, IDC_OPEN_IMAGES, 0);
    EXPECT_TRUE(state(1)) << "the viewer stayed on the screen";
    int browser = 0;
    for (int i = 0; i < 300 && browser <= 0; ++i, wxMilliSleep(50)) {
        FILE* p = popen(("pgrep -P " + std::to_string(child.pid) + " -x lumora").c_str(), "r");
        if (p && std::fscanf(p, "%d", &browser) != 1) browser = 0;
        if (p) pclose(p);
    }
    ASSERT_GT(browser, 0) << "no image browser was started";
    kill(browser, SIGKILL);
    EXPECT_TRUE(state(0)) << "the viewer did not come back";
    plat::SendMessage(w, kWmCommand, ID_TRAY_EXIT, 0);
    EXPECT_EQ(WaitExit(child.pid, 15000), 0);
}

}  // namespace
