// The main window under a window manager (openbox), as a user's desktop has
// one: full screen and back, restores from minimised, impossible stored
// positions, Esc from the control panel, help above an always-on-top window.
#include <gtest/gtest.h>

#include <wx/display.h>

#include "ViewerAppSupport.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/Resource.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xatom.h>

using orvane::Rt;

namespace {

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }
unsigned long XidOf(wxWindow* w) { return gdk_x11_window_get_xid(gtk_widget_get_window(w->GetHandle())); }

// Openbox on this test's own display for the object's life.
struct WindowManager {
    WindowManager() {
        pid = Spawn("/usr/bin/openbox", {"--sm-disable"});
        Display* dpy = XDisplay();
        const Atom wm = XInternAtom(dpy, "WM_S0", False);
        running = PumpUntil([&] { return XGetSelectionOwner(dpy, wm) != None; });
    }
    ~WindowManager() { KillChild(pid); }
    int pid = -1;
    bool running = false;
};

// Where X has the window, as the user sees it (not wx's cached position).
wxRect OnScreen(wxWindow* w) {
    Display* dpy = XDisplay();
    XWindowAttributes a{};
    Window child = None;
    int x = 0, y = 0;
    XGetWindowAttributes(dpy, XidOf(w), &a);
    XTranslateCoordinates(dpy, XidOf(w), DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    return {x, y, a.width, a.height};
}

// Waits until the window shows at r on the screen.
::testing::AssertionResult ShowsAt(wxWindow* w, const wxRect& r) {
    if (PumpUntil([&] { return OnScreen(w) == r; }, 8000)) return ::testing::AssertionSuccess();
    const wxRect at = OnScreen(w);
    return ::testing::AssertionFailure() << "at " << at.x << "," << at.y << " " << at.width << "x" << at.height;
}

bool IsColour(unsigned px, int r, int g, int b) {
    return std::abs(int((px >> 16) & 0xFF) - r) < 12 && std::abs(int((px >> 8) & 0xFF) - g) < 12 &&
           std::abs(int(px & 0xFF) - b) < 12;
}

// The frame as drawn on the screen: outer bevel lit on the top and left,
// dark on the bottom and right, and a coloured band (not the black of the
// window's background) between the bevels.
::testing::AssertionResult FrameDrawn(const wxRect& w) {
    // The dark lines own the corners at the top right and bottom left; the
    // band's ends cover the bevel at the top left and bottom right.
    const auto top = GrabScreen(w.x, w.y, w.width - 1, 1, 1), left = GrabScreen(w.x, w.y + 4, 1, w.height - 5, 1);
    const auto bottom = GrabScreen(w.x + 1, w.y + w.height - 1, w.width - 1, 1, 1);
    const auto right = GrabScreen(w.x + w.width - 1, w.y + 1, 1, w.height - 5, 1);
    const auto band = GrabScreen(w.x + w.width - 3, w.y + 5, 1, w.height - 10, 1);
    for (unsigned p : top) if (!IsColour(p, 200, 220, 245)) return ::testing::AssertionFailure() << "top bevel";
    for (unsigned p : left) if (!IsColour(p, 200, 220, 245)) return ::testing::AssertionFailure() << "left bevel";
    for (unsigned p : bottom) if (!IsColour(p, 10, 20, 40)) return ::testing::AssertionFailure() << "bottom bevel";
    for (unsigned p : right) if (!IsColour(p, 10, 20, 40)) return ::testing::AssertionFailure() << "right bevel";
    for (unsigned p : band) if (p == 0) return ::testing::AssertionFailure() << "black in the right band";
    return ::testing::AssertionSuccess();
}

void PressEsc(wxWindow* w) {
    wxKeyEvent key(wxEVT_CHAR_HOOK);
    key.m_keyCode = WXK_ESCAPE;
    key.SetEventObject(w);
    w->GetEventHandler()->ProcessEvent(key);
}

// The window shows r on the screen, and the picture inside it has followed.
::testing::AssertionResult LaidOutAt(COrvaneDlg* d, const wxRect& r) {
    ::testing::AssertionResult shown = ShowsAt(d, r);
    if (!shown) return shown;
    const wxRect picture(5, 5, r.width - 10, r.height - 10);
    if (PumpUntil([&] {
            return d->VideoWindow()->GetRect() == picture && d->WindowRect() == orvane::Rect{r.x, r.y, r.width, r.height};
        }, 8000))
        return ::testing::AssertionSuccess();
    const wxRect v = d->VideoWindow()->GetRect();
    return ::testing::AssertionFailure() << "picture " << v.x << "," << v.y << " " << v.width << "x" << v.height;
}

// Full screen and back twice, by the command and by Esc from the panel: the
// window comes back at its place and size, with its frame drawn and the
// picture inside it; the sizes still work afterwards.
void FullScreenRoundTrip() {
    InProcessViewer v([](orvane::RunTime& rt) {
        rt.lMainWnd = 100, rt.tMainWnd = 80, rt.rMainWnd = 430, rt.bMainWnd = 330;
        rt.xToolWnd = 900, rt.yToolWnd = 700;  // clear of the window at both sizes
    });
    COrvaneDlg* d = v.dlg;
    ASSERT_NE(d, nullptr);
    const wxRect normal(100, 80, 330, 250), screen = wxDisplay(0u).GetGeometry();
    ASSERT_TRUE(LaidOutAt(d, normal));
    EXPECT_TRUE(PumpUntil([&] { return bool(FrameDrawn(normal)); })) << FrameDrawn(normal).message();
    for (int round = 0; round < 2; ++round) {
        d->SendCommand(ID_FULLSCREEN);
        ASSERT_TRUE(d->IsFullScreenMode());
        // The picture covers the whole screen, the frame lies outside it.
        EXPECT_TRUE(PumpUntil([&] {
            return wxRect(d->VideoWindow()->GetScreenPosition(), d->VideoWindow()->GetSize()) == screen;
        }, 8000)) << "round " << round;
        if (round == 0) d->SendCommand(ID_FULLSCREEN);
        else PressEsc(d->ControlPanel());  // the focus was left on the panel
        EXPECT_FALSE(d->IsFullScreenMode());
        EXPECT_TRUE(LaidOutAt(d, normal)) << "round " << round;
        EXPECT_TRUE(PumpUntil([&] { return bool(FrameDrawn(normal)); })) << FrameDrawn(normal).message();
    }
    d->SendCommand(ID_FORCE_SIZE_640);
    const wxRect large(100, 80, 650, 490);
    EXPECT_TRUE(LaidOutAt(d, large));
    EXPECT_TRUE(PumpUntil([&] { return bool(FrameDrawn(large)); })) << FrameDrawn(large).message();
    EXPECT_TRUE(d->ControlPanel()->IsShown());
    EXPECT_EQ(OnScreen(d->ControlPanel()).GetPosition(), wxPoint(900, 700));
}

}  // namespace

TEST(ViewerDesktop, FullScreenRoundTripRestoresFrameAndPicture) {
    tellura::test::ScopedHome home;
    WindowManager wm;
    ASSERT_TRUE(wm.running);
    FullScreenRoundTrip();
}

TEST(ViewerDesktop, FullScreenRoundTripWithoutWindowManager) {
    tellura::test::ScopedHome home;
    FullScreenRoundTrip();
}

// Minimised and back, three times, and hidden (no tray) and back: the panel
// returns where it was. A stored (0, 0) is kept as (0, 0).
TEST(ViewerDesktop, RestoresKeepThePanelAndTheStoredCorner) {
    tellura::test::ScopedHome home;
    WindowManager wm;
    ASSERT_TRUE(wm.running);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    InProcessViewer v([](orvane::RunTime& rt) {
        rt.lMainWnd = 0, rt.tMainWnd = 0, rt.rMainWnd = 330, rt.bMainWnd = 250;
        rt.xToolWnd = 420, rt.yToolWnd = 300;
        rt.autoStart = 1;
        orvane::WriteSettingNumber("auto", 1);
    });
    COrvaneDlg* d = v.dlg;
    ASSERT_NE(d, nullptr);
    CControlDlg* panel = d->ControlPanel();
    EXPECT_TRUE(ShowsAt(d, wxRect(0, 0, 330, 250)));
    ASSERT_TRUE(ShowsAt(panel, wxRect(wxPoint(420, 300), panel->GetSize())));
    for (int round = 0; round < 4; ++round) {
        if (round < 3) d->SendCommand(ID_MINIMIZE);
        else d->SendCommand(ID_CLOSE);  // hidden: the panel is hidden with it
        ASSERT_TRUE(PumpUntil([&] { return d->IsIconized(); })) << round;
        RequestActivate(XidOf(d));
        ASSERT_TRUE(PumpUntil([&] { return !d->IsIconized() && panel->IsShown(); })) << round;
        EXPECT_TRUE(ShowsAt(panel, wxRect(wxPoint(420, 300), panel->GetSize()))) << "round " << round;
        EXPECT_TRUE(ShowsAt(d, wxRect(0, 0, 330, 250))) << "round " << round;
    }
}

// Positions no monitor shows open the windows on the screen.
TEST(ViewerDesktop, ImpossibleStoredPositionsOpenOnScreen) {
    tellura::test::ScopedHome home;
    WindowManager wm;
    ASSERT_TRUE(wm.running);
    InProcessViewer v([](orvane::RunTime& rt) {
        rt.lMainWnd = -90000, rt.tMainWnd = 2000000000, rt.rMainWnd = 2100000000, rt.bMainWnd = -5;
        rt.xToolWnd = 99999, rt.yToolWnd = -99999;
    });
    COrvaneDlg* d = v.dlg;
    ASSERT_NE(d, nullptr);
    const wxRect screen = wxDisplay(0u).GetGeometry();
    EXPECT_TRUE(PumpUntil([&] { return screen.Contains(OnScreen(d)); }, 8000))
        << OnScreen(d).x << "," << OnScreen(d).y << " " << OnScreen(d).width << "x" << OnScreen(d).height;
    EXPECT_TRUE(PumpUntil([&] { return screen.Contains(OnScreen(d->ControlPanel())); }, 8000));
}

// The manual opened from an always-on-top window stacks above it.
TEST(ViewerDesktop, HelpComesAboveAnAlwaysOnTopWindow) {
    tellura::test::ScopedHome home;
    WindowManager wm;
    ASSERT_TRUE(wm.running);
    InProcessViewer v;
    COrvaneDlg* d = v.dlg;
    ASSERT_NE(d, nullptr);
    d->SendCommand(ID_ALWAYS_ON_TOP);
    d->SendCommand(IDC_HELP);
    ASSERT_TRUE(v.asked.empty()) << v.asked.front();
    wxWindow* help = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        for (wxWindow* w : wxTopLevelWindows)
            if (w->GetLabel() == "Quorvel Tellura Help" && w->IsShown()) help = w;
        return help != nullptr;
    }));
    // The window manager's stacking list, bottom to top.
    auto stackIndex = [](unsigned long xid) {
        Display* dpy = XDisplay();
        Atom type = None;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(dpy, DefaultRootWindow(dpy), XInternAtom(dpy, "_NET_CLIENT_LIST_STACKING", False), 0,
                           1024, False, XA_WINDOW, &type, &format, &n, &after, &data);
        int at = -1;
        for (unsigned long i = 0; data && i < n; ++i)
            if (reinterpret_cast<unsigned long*>(data)[i] == xid) at = int(i);
        if (data) XFree(data);
        return at;
    };
    EXPECT_TRUE(PumpUntil([&] {
        const int main = stackIndex(XidOf(d)), manual = stackIndex(XidOf(help));
        return main >= 0 && manual > main;
    }, 8000));
    help->Close(true);
}
