// The main window in this process on the virtual card: start-up state,
// window modes and sizes by command, sizing rules, border, messages, the
// tray round trip and the settings kept at exit.
#include <gtest/gtest.h>

#include <wx/display.h>
#include <wx/menu.h>

#include "ViewerAppSupport.h"
#include "common/RegKey.h"
#include "support/WxTestLoop.h"
#include "orvane/core/Settings.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/dispDlg.h"
#include "platform/Window.h"
#include "strova/Strova.h"

using orvane::Rt;

namespace {

orvane::Rect Geometry(COrvaneDlg* d) {
    Pump(60);
    return d->WindowRect();
}

TEST(ViewerStart, WindowCarriesDeviceTitleStoredRectAndStartState) {
    tellura::test::ScopedHome home;
    const std::string card = VirtualCardName();
    ASSERT_FALSE(card.empty());
    std::string upper = card;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    InProcessViewer v([&](orvane::RunTime& rt) {
        orvane::CopyField(rt.deviceName, upper);  // matches ignoring case
        rt.lMainWnd = 100, rt.tMainWnd = 80, rt.rMainWnd = 500, rt.bMainWnd = 380;
        rt.xToolWnd = 20, rt.yToolWnd = 400;
    });
    ASSERT_NE(v.dlg, nullptr);
    EXPECT_TRUE(v.asked.empty()) << v.asked.front();
    // The device name is overwritten by the listed one and is the title.
    EXPECT_EQ(std::string(Rt().deviceName), card);
    EXPECT_EQ(v.dlg->GetTitle(), wxString::FromUTF8(card));
    EXPECT_EQ(plat::FindWindowA(nullptr, card.c_str()) != nullptr, true);
    EXPECT_TRUE(v.dlg->IsShown());
    EXPECT_FALSE(Rt().hidden);
    EXPECT_EQ(Geometry(v.dlg), (orvane::Rect{100, 80, 400, 300}));
    ASSERT_NE(v.dlg->ControlPanel(), nullptr);
    EXPECT_TRUE(v.dlg->ControlPanel()->IsShown());
    EXPECT_EQ(v.dlg->ControlPanel()->GetPosition(), wxPoint(20, 400));
    EXPECT_TRUE(v.dlg->IsMenuChecked(ID_FORCE_RATIO_43));
    EXPECT_EQ(v.dlg->MenuText(IDC_SHOW_CONTROL_PANEL), "&Hide Control Panel");
    EXPECT_EQ(v.dlg->ControlPanel()->GetDisplayText(), "S-Video");  // input 0 label
    // The picture child fills the client area inside the 5-pixel border.
    EXPECT_EQ(v.dlg->VideoWindow()->GetRect(), wxRect(5, 5, 390, 290));
    EXPECT_EQ(v.dlg->BorderStrip().size(), 365u * 3);
}

TEST(ViewerStart, DateNumberingAndFolderFallbacks) {
    tellura::test::ScopedHome home;
    const std::string snaps = home.path("snaps/"), videos = home.path("videos/");
    char prefix[32];
    {
        const time_t t = time(nullptr);
        struct tm lt {};
        localtime_r(&t, &lt);
        std::snprintf(prefix, sizeof prefix, "%4d%02d%02d-", (lt.tm_year + 1900) % 10000, (lt.tm_mon + 1) % 100, lt.tm_mday % 100);
    }
    for (const char* f : {"7.bmp", "12.bmp", "x.bmp", "4.jpg"}) tellura::test::WriteFile(snaps + prefix + f, "b");
    tellura::test::WriteFile(snaps + "19990101-40.bmp", "old");
    tellura::test::WriteFile(videos + prefix + "3.mpg", "m");
    tellura::test::WriteFile(videos + prefix + "5.avi", "a");
    InProcessViewer v([&](orvane::RunTime& rt) {
        orvane::CopyField(rt.snapshotPath, home.path("snaps"));  // no trailing slash
        orvane::CopyField(rt.recordPath, videos);
        orvane::CopyField(rt.saveAsPath, home.path("missing/"));
    });
    ASSERT_NE(v.dlg, nullptr);
    EXPECT_STREQ(Rt().datePrefix, prefix);
    EXPECT_EQ(Rt().lastBmpNumber, 12);
    EXPECT_EQ(Rt().lastJpgNumber, 4);
    EXPECT_EQ(Rt().lastRecNumber, 8);  // the two maxima added
    EXPECT_EQ(std::string(Rt().snapshotPath), snaps);
    EXPECT_EQ(Rt().snapFolderOk, 1);
    EXPECT_EQ(std::string(Rt().saveAsPath), snaps);  // missing save-as folder falls back
    EXPECT_NE(std::string(Rt().tempStillFile).find("%wdmsnp%.tmp"), std::string::npos);
}

TEST(ViewerModes, FullScreenOnTopAndForcedSizesByCommand) {
    tellura::test::ScopedHome home;
    InProcessViewer v([](orvane::RunTime& rt) {
        rt.lMainWnd = 50, rt.tMainWnd = 60, rt.rMainWnd = 450, rt.bMainWnd = 360;
    });
    ASSERT_NE(v.dlg, nullptr);
    COrvaneDlg* d = v.dlg;
    const wxRect screen = wxDisplay(0u).GetGeometry();

    d->SendCommand(ID_FULLSCREEN);
    EXPECT_EQ(Geometry(d), (orvane::Rect{-5, -5, screen.width + 10, screen.height + 10}));
    EXPECT_TRUE(d->IsMenuChecked(ID_FULLSCREEN));
    EXPECT_TRUE(d->ControlPanel()->GetButton(ID_FULLSCREEN)->IsToggled());
    d->SendCommand(ID_FULLSCREEN);
    EXPECT_EQ(Geometry(d), (orvane::Rect{50, 60, 400, 300}));
    EXPECT_FALSE(d->IsMenuChecked(ID_FULLSCREEN));
    EXPECT_FALSE(d->ControlPanel()->GetButton(ID_FULLSCREEN)->IsToggled());

    d->SendCommand(ID_ALWAYS_ON_TOP);
    EXPECT_TRUE(d->IsOnTop());
    EXPECT_TRUE(d->IsMenuChecked(ID_ALWAYS_ON_TOP));
    EXPECT_EQ(Rt().isTopMost, 1);
    EXPECT_EQ(d->ControlPanel()->GetButton(ID_ALWAYS_ON_TOP)->GetToolTipText(), "Restore");
    d->SendCommand(ID_ALWAYS_ON_TOP);
    EXPECT_EQ(Rt().isTopMost, 0);
    EXPECT_EQ(d->ControlPanel()->GetButton(ID_ALWAYS_ON_TOP)->GetToolTipText(), "Always On Top");

    d->SendCommand(ID_FORCE_SIZE_320);
    EXPECT_EQ(Geometry(d), (orvane::Rect{50, 60, 330, 250}));
    d->SendCommand(ID_FORCE_SIZE_640);
    EXPECT_EQ(Geometry(d), (orvane::Rect{50, 60, 650, 490}));
    // Normal size is the preview format plus the border; full screen is left first.
    d->SendCommand(ID_FULLSCREEN);
    d->SendCommand(ID_NORMAL_SIZE);
    EXPECT_FALSE(d->IsFullScreenMode());
    const orvane::Rect normal = Geometry(d);
    EXPECT_EQ(normal.w, 650);  // the preview runs at 640 x 480
    EXPECT_EQ(normal.h, 490);
}

TEST(ViewerModes, FourThreeLockAndSizingRules) {
    tellura::test::ScopedHome home;
    InProcessViewer v([](orvane::RunTime& rt) {
        rt.lMainWnd = 10, rt.tMainWnd = 10, rt.rMainWnd = 510, rt.bMainWnd = 310;  // 500 x 300
        rt.isFixed43 = 1;
    });
    ASSERT_NE(v.dlg, nullptr);
    COrvaneDlg* d = v.dlg;
    // The stored rectangle is placed after the lock is applied.
    EXPECT_EQ(Geometry(d), (orvane::Rect{10, 10, 500, 300}));
    d->SendCommand(ID_FORCE_RATIO_43);  // off
    EXPECT_EQ(Rt().isFixed43, 0);
    EXPECT_FALSE(d->IsMenuChecked(ID_FORCE_RATIO_43));
    d->SendCommand(ID_FORCE_RATIO_43);  // on: height follows the width
    EXPECT_TRUE(d->IsMenuChecked(ID_FORCE_RATIO_43));
    EXPECT_EQ(Geometry(d), (orvane::Rect{10, 10, 500, 375}));

    using orvane::Edge;
    EXPECT_EQ(d->SizingRect({10, 10, 401, 200}, Edge::Right), (orvane::Rect{10, 10, 401, 300}));
    EXPECT_EQ(d->SizingRect({10, 10, 300, 150}, Edge::Bottom), (orvane::Rect{10, 10, 200, 150}));
    // Below the minimum the 4:3 rule applies to 80 x 60.
    EXPECT_EQ(d->SizingRect({10, 10, 20, 10}, Edge::Right), (orvane::Rect{10, 10, 80, 60}));
    d->SendCommand(ID_FORCE_RATIO_43);
    EXPECT_EQ(d->SizingRect({10, 10, 20, 10}, Edge::Left), (orvane::Rect{10, 10, 80, 60}));
    // Border direction: dragging the right edge outward runs backward.
    d->SizingRect({0, 0, 200, 200}, Edge::Right);
    d->SizingRect({0, 0, 250, 200}, Edge::Right);
    EXPECT_FALSE(d->BorderForwardDirection());
    d->SizingRect({0, 0, 240, 200}, Edge::Right);
    EXPECT_TRUE(d->BorderForwardDirection());
}

TEST(ViewerModes, MouseDragOnEdgeResizesUnderTheLock) {
    tellura::test::ScopedHome home;
    InProcessViewer v([](orvane::RunTime& rt) {
        rt.lMainWnd = 100, rt.tMainWnd = 100, rt.rMainWnd = 500, rt.bMainWnd = 400;
    });
    ASSERT_NE(v.dlg, nullptr);
    COrvaneDlg* d = v.dlg;
    auto mouse = [d](wxEventType type, wxPoint at, bool down) {
        wxMouseEvent e(type);
        e.SetPosition(at);
        e.m_leftDown = down;
        e.SetEventObject(d);
        d->GetEventHandler()->ProcessEvent(e);
    };
    mouse(wxEVT_LEFT_DOWN, {398, 150}, true);  // right edge band
    mouse(wxEVT_MOTION, {499, 150}, true);
    mouse(wxEVT_LEFT_UP, {499, 150}, false);
    EXPECT_EQ(Geometry(d), (orvane::Rect{100, 100, 501, 375}));
    // Dragging inside the picture moves the window.
    mouse(wxEVT_LEFT_DOWN, {200, 150}, true);
    mouse(wxEVT_MOTION, {230, 170}, true);
    mouse(wxEVT_LEFT_UP, {230, 170}, false);
    EXPECT_EQ(Geometry(d), (orvane::Rect{130, 120, 501, 375}));
}

TEST(ViewerCommands, PanelAndKeypadTogglesAndCommandsEnabled) {
    tellura::test::ScopedHome home;
    InProcessViewer v([](orvane::RunTime& rt) {
        SeedStations(rt, 3);
        rt.ctrShow = 1;
    });
    ASSERT_NE(v.dlg, nullptr);
    COrvaneDlg* d = v.dlg;
    EXPECT_TRUE(d->Keypad()->IsShown());
    d->SendCommand(IDC_SHOW_CONTROL_PANEL);
    EXPECT_FALSE(d->ControlPanel()->IsShown());
    EXPECT_FALSE(d->Keypad()->IsShown());
    EXPECT_EQ(d->MenuText(IDC_SHOW_CONTROL_PANEL), "S&how Control Panel");
    d->SendCommand(IDC_SHOW_CONTROL_PANEL);
    EXPECT_TRUE(d->ControlPanel()->IsShown());
    EXPECT_TRUE(d->Keypad()->IsShown());
    d->SendCommand(ID_KEYPAD_TOGGLE);
    EXPECT_FALSE(d->Keypad()->IsShown());
    EXPECT_EQ(Rt().ctrShow, 0);

    for (int id : {IDC_RECORD, IDC_SAVE_IMAGE_AS, IDC_SNAPSHOT, IDC_OPEN_VIDEOS})
        EXPECT_TRUE(d->IsMenuEnabled(id)) << id;
    EXPECT_TRUE(d->ControlPanel()->GetButton(IDC_RECORD)->IsEnabled());
    EXPECT_TRUE(d->ControlPanel()->GetButton(IDC_OPEN_VIDEOS)->IsEnabled());
    EXPECT_TRUE(d->ControlPanel()->GetButton(ID_FULLSCREEN)->IsEnabled());
}

// The manual opens in its own window under its title, and a close message
// sent to that title (as the final close sends it) closes it.
TEST(ViewerCommands, HelpOpensTheManualAndItsCloseMessageClosesIt) {
    tellura::test::ScopedHome home;
    InProcessViewer v;
    ASSERT_NE(v.dlg, nullptr);
    EXPECT_TRUE(v.dlg->IsMenuEnabled(IDC_HELP));
    v.dlg->SendCommand(IDC_HELP);
    EXPECT_TRUE(v.asked.empty()) << v.asked.front();
    auto helpFrame = [] {
        for (wxWindow* w : wxTopLevelWindows)
            if (w->GetLabel() == kHelpTitle && w->IsShown()) return true;
        return false;
    };
    EXPECT_TRUE(PumpUntil(helpFrame));
    plat::HWND help = plat::FindWindowA(nullptr, kHelpTitle);
    ASSERT_NE(help, nullptr);
    plat::PostMessage(help, 0x0010 /* close */, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !helpFrame(); }));
    EXPECT_EQ(plat::FindWindowA(nullptr, kHelpTitle), nullptr);
}

TEST(ViewerCommands, PauseRunAndStreamStates) {
    tellura::test::ScopedHome home;
    InProcessViewer v;
    ASSERT_NE(v.dlg, nullptr);
    COrvaneDlg* d = v.dlg;
    d->SendCommand(IDC_PAUSE);
    int state = -1;
    Strova_GetStreamStatus(Rt().deviceIndex, &state);
    EXPECT_EQ(state, STROVA_STATE_PAUSED);
    EXPECT_TRUE(d->ControlPanel()->GetButton(IDC_PAUSE)->IsToggled());
    EXPECT_EQ(d->ControlPanel()->GetButton(IDC_PAUSE)->GetToolTipText(), "Play");
    d->SendCommand(IDC_PAUSE);
    Strova_GetStreamStatus(Rt().deviceIndex, &state);
    EXPECT_EQ(state, STROVA_STATE_RUNNING);
    EXPECT_FALSE(d->ControlPanel()->GetButton(IDC_PAUSE)->IsToggled());
    EXPECT_EQ(d->ControlPanel()->GetButton(IDC_PAUSE)->GetToolTipText(), "Pause");
}

TEST(ViewerMessages, NotificationsBrowsersAndCountdown) {
    tellura::test::ScopedHome home;
    InProcessViewer v;
    ASSERT_NE(v.dlg, nullptr);
    COrvaneDlg* d = v.dlg;
    // Disk full while nothing records shows nothing; another card's code is ignored.
    d->OnWindowMessage(WM_STROVA_NOTIFY, 0, NOTIFY_DISK_FULL);
    d->OnWindowMessage(WM_STROVA_NOTIFY, 0, (3 << 16) | NOTIFY_ABORTED);
    d->OnWindowMessage(WM_STROVA_NOTIFY, 0, NOTIFY_GRAPH_EVENT);
    EXPECT_TRUE(v.asked.empty());
    // The preview stopping by itself is reported once.
    d->OnWindowMessage(WM_STROVA_NOTIFY, 0, NOTIFY_ABORTED);
    d->OnWindowMessage(WM_STROVA_NOTIFY, 0, NOTIFY_ABORTED);
    ASSERT_EQ(v.asked.size(), 1u);
    EXPECT_EQ(v.asked[0], "The video device stopped sending pictures.");
    // Messages posted through the platform layer arrive on this thread.
    d->Hide();
    d->ControlPanel()->Hide();
    ASSERT_TRUE(plat::PostMessage(d->Handle(), WM_BROWSER_CLOSED, 0, 0));
    EXPECT_TRUE(PumpUntil([d] { return d->IsShown(); }));
    EXPECT_TRUE(d->ControlPanel()->IsShown());
    // The line-input hold: two ticks, then the input comes back (0 stays 0);
    // -1 never expires.
    d->HoldLineInput();
    EXPECT_EQ(d->LineCountdown(), 2);
    d->OnTimerTick();
    d->OnTimerTick();
    EXPECT_EQ(d->LineCountdown(), 0);
    d->OnTimerTick();
    EXPECT_EQ(d->LineCountdown(), 0);
    ASSERT_TRUE(plat::PostMessage(d->Handle(), kWmCommand, ID_FORCE_SIZE_320, 0));
    EXPECT_TRUE(PumpUntil([d] { return d->WindowRect().w == 330; }));
}

// The browser reads "ExeName" and looks the viewer's window up by it to send
// 0x901 at its end: on a first run (no device stored) too.
TEST(ViewerMessages, ExeNameFindsTheWindowOnAFirstRun) {
    tellura::test::ScopedHome home;
    const std::string card = VirtualCardName();
    InProcessViewer v([](orvane::RunTime& rt) { rt.deviceName[0] = '\0'; });
    ASSERT_NE(v.dlg, nullptr);
    CRegKey key;
    std::string title;
    ASSERT_EQ(key.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Quorvel\\Application"), 0);
    ASSERT_EQ(key.ReadString("ExeName", title), 0);
    EXPECT_EQ(title, card);
    EXPECT_EQ(plat::FindWindowA(nullptr, title.c_str()), v.dlg->Handle());
}

TEST(ViewerClose, AutoStartHidesToTrayAndComesBack) {
    tellura::test::ScopedHome home;
    InProcessViewer v([](orvane::RunTime& rt) { rt.autoStart = 1; });
    // "auto" is never written at exit: store it by hand before the start.
    ASSERT_NE(v.dlg, nullptr);
    orvane::WriteSettingNumber("auto", 1);
    Rt().autoStart = 1;
    COrvaneDlg* d = v.dlg;
    d->SendCommand(ID_CLOSE);
    Pump(50);
    EXPECT_TRUE(Rt().hidden);
    EXPECT_FALSE(d->ControlPanel()->IsShown());
    EXPECT_EQ(d->LineCountdown(), -1);
    EXPECT_EQ(Rt().isHideTool, 0);
    EXPECT_FALSE(d->Ended());
    // While hidden only the close key acts.
    d->OnRemoteKey(56);
    EXPECT_FALSE(d->IsFullScreenMode());
    d->OnRemoteKey(8);
    Pump(50);
    EXPECT_FALSE(Rt().hidden);
    EXPECT_TRUE(d->IsShown());
    EXPECT_TRUE(d->ControlPanel()->IsShown());
    EXPECT_EQ(d->MenuText(IDC_SHOW_CONTROL_PANEL), "&Hide Control Panel");
    d->SendCommand(ID_TRAY_EXIT);
    EXPECT_TRUE(d->Ended());
}

TEST(ViewerClose, FinalCloseStoresGeometryAndSettingsReloadOnce) {
    tellura::test::ScopedHome home;
    {
        InProcessViewer v([](orvane::RunTime& rt) {
            rt.lMainWnd = 30, rt.tMainWnd = 40, rt.rMainWnd = 430, rt.bMainWnd = 340;
        });
        ASSERT_NE(v.dlg, nullptr);
        v.dlg->SendCommand(ID_FORCE_SIZE_320);
        v.dlg->SendCommand(ID_ALWAYS_ON_TOP);
        v.dlg->SendCommand(ID_FULLSCREEN);  // left again by the final close
        v.dlg->ControlPanel()->Move(70, 500);
        Pump(60);
        v.dlg->SendCommand(ID_CLOSE);  // "auto" off: final close
        EXPECT_TRUE(v.dlg->Ended());
    }
    orvane::LoadSettings();
    EXPECT_EQ(Rt().lMainWnd, 30);
    EXPECT_EQ(Rt().tMainWnd, 40);
    EXPECT_EQ(Rt().rMainWnd - Rt().lMainWnd, 330);
    EXPECT_EQ(Rt().bMainWnd - Rt().tMainWnd, 250);
    EXPECT_EQ(Rt().isTopMost, 1);
    EXPECT_EQ(Rt().xToolWnd, 70);
    EXPECT_EQ(Rt().yToolWnd, 500);
    EXPECT_EQ(Rt().vidWidth, 640);  // the preview format read back at close
}

}  // namespace

TEST(ViewerCommands, VolumeStepsAndMuteFollowThePanel) {
    tellura::test::ScopedHome home;
    InProcessViewer v([](orvane::RunTime& rt) {
        rt.volume = 30000;
        rt.vNul = 1;
    });
    ASSERT_NE(v.dlg, nullptr);
    COrvaneDlg* d = v.dlg;
    d->SendCommand(ID_VOLUME_UP);
    EXPECT_EQ(Rt().volume, 31500);
    d->SendCommand(ID_VOLUME_DOWN);
    d->SendCommand(ID_VOLUME_DOWN);
    EXPECT_EQ(Rt().volume, 28500);
    for (int i = 0; i < 30; ++i) d->SendCommand(ID_VOLUME_DOWN);
    EXPECT_EQ(Rt().volume, 0) << "the level stops at the bottom";
    d->SendCommand(ID_MUTE);
    EXPECT_EQ(Rt().vNul, 0);
    EXPECT_TRUE(d->ControlPanel()->GetButton(ID_MUTE)->IsToggled());
    d->SendCommand(ID_MUTE);
    EXPECT_EQ(Rt().vNul, 1);
    EXPECT_FALSE(d->ControlPanel()->GetButton(ID_MUTE)->IsToggled());
}
