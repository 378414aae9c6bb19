// The browser through its real window: start-up, pages and keys, clicks,
// the fit of a single image, the About box, Open and the viewer's 0x901.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <atomic>

#include <wx/accel.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/prntbase.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include "../common/DibTestUtil.h"
#include "BrowserSupport.h"
#include "common/DibImage.h"
#include "common/FolderDialog.h"
#include "lumora/MainFrm.h"
#include "lumora/Resource.h"
#include "lumora/ViewLayout.h"
#include "platform/Paths.h"
#include "platform/Window.h"

using namespace lumora;
using tellura::test::ScopedHome;
using tellura::test::WriteFile;

namespace {

void Click(CLumoraView* view, wxEventType type, int x, int y) {
    wxMouseEvent e(type);
    e.m_x = x, e.m_y = y;
    e.SetEventObject(view->Canvas());
    view->Canvas()->GetEventHandler()->ProcessEvent(e);
    Pump(5);
}

bool Enabled(TestBrowser& b, int command) {
    b.browser.Frame()->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    return b.browser.Frame()->GetToolBar()->GetToolEnabled(ItemId(command));
}

// The shortcut text a menu item shows.
std::string AccelText(TestBrowser& b, int command) {
    GtkWidget* item = b.browser.Frame()->GetMenuBar()->FindItem(ItemId(command))->GetMenuItem();
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
    if (!GTK_IS_ACCEL_LABEL(label)) return "";
    guint key = 0;
    GdkModifierType mods{};
    gtk_accel_label_get_accel(GTK_ACCEL_LABEL(label), &key, &mods);
    const char* name = gdk_keyval_name(key);
    return name ? name : "";
}

}  // namespace

TEST(LumoraBrowser, StartsOnTheSnapshotFolderSortedByTypeWithLabels) {
    ScopedHome home;
    const std::string dir = home.path("pics");
    WriteJpeg(dir + "/b.jpg", 320, 240);
    ASSERT_TRUE(WriteFile(dir + "/A.bmp", dibtest::MakeBmp(40, 30, 8)));
    ASSERT_TRUE(WriteFile(dir + "/c.GIF", "GIF89a but nothing else"));
    ASSERT_TRUE(WriteFile(dir + "/empty.jpg", ""));
    WriteJpeg(dir + "/dot.jpg", 1, 1);
    TestBrowser b(dir);
    CLumoraView* view = b.View();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Model().SortMode(), kSortByType);
    ASSERT_EQ(view->Model().Count(), 5u);
    EXPECT_EQ(view->Model().Entry(0).name, "A.bmp");
    EXPECT_EQ(view->Model().Entry(1).name, "c.GIF");
    ASSERT_TRUE(b.WaitLoaded());
    b.View()->Canvas()->Update();
    EXPECT_EQ(b.browser.Frame()->GetTitle(), "Quorvel");
    // A BMP is shown as the JPEG reader gives it back: 24 bits.
    EXPECT_EQ(view->Shown(0).size, "40x30x16M");
    EXPECT_TRUE(view->Shown(0).drawn);
    EXPECT_EQ(view->Shown(1).size, "0x0x16M");  // not a picture
    EXPECT_FALSE(view->Shown(1).drawn);
    EXPECT_EQ(view->Shown(1).name, "c.GIF");
    for (int k = 2; k < 5; ++k) {
        const auto shown = view->Shown(k);
        const char* want = shown.name == "b.jpg" ? "320x240x16M" : shown.name == "dot.jpg" ? "1x1x16M" : "0x0x16M";
        EXPECT_EQ(shown.size, want) << shown.name;
    }
    b.Command(ID_ARRANGE_NAME);
    EXPECT_EQ(view->Model().Entry(0).name, "A.bmp");
    EXPECT_EQ(view->Model().Entry(1).name, "b.jpg");
    EXPECT_EQ(view->Model().Entry(2).name, "c.GIF");
}

TEST(LumoraBrowser, KeysPageThroughTenEntriesAndStopAtTheEnds) {
    ScopedHome home;
    TestBrowser b(NumberedFolder(home, 10));
    CLumoraView* view = b.View();
    EXPECT_FALSE(Enabled(b, ID_FIRST));
    EXPECT_FALSE(Enabled(b, ID_PREVIOUS));
    EXPECT_TRUE(Enabled(b, ID_LAST));
    b.Key(WXK_END);
    EXPECT_EQ(view->Model().PageFirst(), 9);
    EXPECT_FALSE(Enabled(b, ID_NEXT));
    EXPECT_FALSE(Enabled(b, ID_LAST));
    b.Key(WXK_RIGHT);  // disabled: nothing happens
    EXPECT_EQ(view->Model().PageFirst(), 9);
    ASSERT_TRUE(b.WaitLoaded());
    view->Canvas()->Update();
    EXPECT_EQ(view->Shown(0).name, view->Model().Entry(9).name);
    EXPECT_EQ(view->Shown(1).name, "");
    // A click on an empty cell changes nothing.
    const CellRect empty = LayoutCell(4, 1000, 700).cell;
    Click(view, wxEVT_LEFT_DOWN, empty.left + 10, empty.top + 10);
    EXPECT_EQ(view->Model().CurrentIndex(), 9);
    EXPECT_EQ(view->Model().SelectedCell(), 0);
    // Ctrl+N: a new document in the same view, back on the first page.
    wxCommandEvent ctrlN(wxEVT_MENU, wxID_NEW);
    b.browser.Frame()->GetEventHandler()->ProcessEvent(ctrlN);
    EXPECT_EQ(b.View(), view);
    EXPECT_EQ(view->Model().PageFirst(), 0);
    b.Key(WXK_END);
    b.Key(WXK_HOME);
    EXPECT_EQ(view->Model().PageFirst(), 0);
    b.Key(WXK_RIGHT);
    EXPECT_EQ(view->Model().PageFirst(), 9);
    b.Key(WXK_LEFT);
    EXPECT_EQ(view->Model().PageFirst(), 0);
    // Page Down and Up, and the wheel: a notch a page, a touchpad's small
    // steps adding up to one.
    b.Key(WXK_PAGEDOWN);
    EXPECT_EQ(view->Model().PageFirst(), 9);
    b.Key(WXK_PAGEUP);
    EXPECT_EQ(view->Model().PageFirst(), 0);
    auto wheel = [&](int rotation) {
        wxMouseEvent e(wxEVT_MOUSEWHEEL);
        e.m_wheelRotation = rotation, e.m_wheelDelta = 120, e.m_wheelAxis = wxMOUSE_WHEEL_VERTICAL;
        e.SetEventObject(view->Canvas());
        view->Canvas()->GetEventHandler()->ProcessEvent(e);
    };
    wheel(-60);
    EXPECT_EQ(view->Model().PageFirst(), 0);
    wheel(-60);
    EXPECT_EQ(view->Model().PageFirst(), 9);
    wheel(120);
    EXPECT_EQ(view->Model().PageFirst(), 0);

    // Ctrl+S is Refresh: a new file is listed, nothing is written.
    WriteJpeg(home.path("pics/img200.jpg"), 8, 8);
    wxMenuItem* refresh = b.browser.Frame()->GetMenuBar()->FindItem(ItemId(ID_REFRESH));
    ASSERT_NE(refresh, nullptr);
    std::unique_ptr<wxAcceleratorEntry> accel(refresh->GetAccel());
    ASSERT_TRUE(accel);
    EXPECT_EQ(accel->GetFlags(), wxACCEL_CTRL);
    EXPECT_EQ(accel->GetKeyCode(), 'S');
    b.Command(ID_REFRESH);
    EXPECT_EQ(view->Model().Count(), 11u);
    EXPECT_EQ(AccelText(b, ID_NEXT), "Right");
    EXPECT_EQ(AccelText(b, ID_LAST), "End");
}

// Thumbnails reduced for a small window are drawn large again when the
// window grows, the page staying on show meanwhile.
TEST(LumoraBrowser, ThumbnailsGrowBackWhenTheWindowIsMadeLarger) {
    ScopedHome home;
    const std::string dir = home.path("pics");
    WriteJpeg(dir + "/big.jpg", 1600, 1200);
    TestBrowser b(dir);
    CLumoraView* view = b.View();
    auto shownWidth = [&] {
        view->Canvas()->Refresh();
        view->Canvas()->Update();
        return view->Shown(0).width;
    };
    const int large = shownWidth();
    EXPECT_EQ(large, FitInCell(1600, 1200, LayoutCell(0, 1000, 700).cell).width);
    b.ResizeClient(500, 350);
    ASSERT_TRUE(b.WaitLoaded());
    const int small = shownWidth();
    EXPECT_LT(small, large);
    b.ResizeClient(1000, 700);
    ASSERT_TRUE(b.WaitLoaded());
    EXPECT_EQ(shownWidth(), large);
}

TEST(LumoraBrowser, DoubleClickShowsTheImageFittedAndCentred) {
    ScopedHome home;
    const std::string dir = home.path("pics");
    WriteJpeg(dir + "/a.jpg", 1600, 1200);
    WriteJpeg(dir + "/b.jpg", 2000, 100);
    TestBrowser b(dir);
    CLumoraView* view = b.View();
    b.Command(ID_ARRANGE_NAME);
    const CellRect c0 = LayoutCell(0, 1000, 700).cell;
    Click(view, wxEVT_LEFT_DOWN, c0.left + 20, c0.top + 20);
    Click(view, wxEVT_LEFT_DCLICK, c0.left + 20, c0.top + 20);
    ASSERT_TRUE(view->Model().Single());
    ASSERT_TRUE(b.WaitLoaded());
    view->Canvas()->Update();
    ASSERT_NE(view->SingleImage(), nullptr);
    EXPECT_EQ(view->SingleImage()->Width(), 866);
    EXPECT_EQ(view->SingleImage()->Height(), 650);
    EXPECT_EQ(view->SingleImage()->X(), 66);
    EXPECT_EQ(view->SingleImage()->Y(), 25);
    EXPECT_EQ(b.browser.Frame()->GetTitle(), wxString::FromUTF8(dir + "/a.jpg"));
    // Clicks change nothing in this mode.
    Click(view, wxEVT_LEFT_DOWN, 500, 350);
    EXPECT_EQ(view->Model().CurrentIndex(), 0);

    b.Key(WXK_RIGHT);
    ASSERT_TRUE(b.WaitLoaded());
    view->Canvas()->Update();
    EXPECT_EQ(view->SingleImage()->Width(), 950);
    EXPECT_EQ(view->SingleImage()->Height(), 47);
    EXPECT_EQ(view->SingleImage()->X(), 25);
    EXPECT_EQ(view->SingleImage()->Y(), 326);

    // A larger window does not enlarge the reduced image.
    b.ResizeClient(1200, 800);
    view->Canvas()->Update();
    EXPECT_EQ(view->SingleImage()->Width(), 950);
    b.Command(ID_MULTI_IMAGE);
    EXPECT_FALSE(view->Model().Single());
    EXPECT_EQ(view->Model().SelectedCell(), 1);
}

TEST(LumoraBrowser, ExitTellsTheViewerOnceAndAMissingViewerIsNoFault) {
    ScopedHome home;
    std::atomic<int> got{0};
    plat::HWND viewer = plat::CreateWindowHandle("Test Viewer");
    plat::SetMessageSink(
        viewer,
        [&](unsigned msg, plat::WPARAM wp, plat::LPARAM lp) -> plat::LRESULT {
            if (msg == WM_LUMORA_CLOSED && wp == 0 && lp == 0) ++got;
            return 0;
        },
        nullptr);
    {
        TestBrowser b(NumberedFolder(home, 2), "Test Viewer");
        ASSERT_NE(b.browser.Viewer(), nullptr);
        b.Command(ID_APP_EXIT_TO_VIDEO);
        EXPECT_EQ(b.browser.Frame(), nullptr);
    }
    EXPECT_EQ(got.load(), 1);
    plat::DestroyWindowHandle(viewer);
    {
        TestBrowser b(home.path("pics"), "No Such Window");
        EXPECT_EQ(b.browser.Viewer(), nullptr);
    }
}

TEST(LumoraBrowser, AboutManualOpenCancelRescans) {
    ScopedHome home;
    TestBrowser b(NumberedFolder(home, 3));
    EXPECT_TRUE(Enabled(b, ID_APP_ABOUT));
    // The manual opens in its own window, at the browser's chapter.
    b.Command(ID_USER_MANUAL);
    EXPECT_TRUE(PumpUntil([] {
        for (wxWindow* w : wxTopLevelWindows)
            if (w->GetLabel() == kHelpTitle && w->IsShown()) return true;
        return false;
    }));
    bool about = false;
    b.browser.Frame()->CallAfter([&] {
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* d = dynamic_cast<wxDialog*>(w); d && d->IsModal() && d->GetId() == IDD_ABOUTBOX) {
                about = true;
                d->EndModal(wxID_OK);
            }
    });
    b.Command(ID_APP_ABOUT);
    EXPECT_TRUE(about);

    WriteJpeg(home.path("pics/new.jpg"), 8, 8);
    std::string caption, start;
    CFolderDialog::ShownHook() = [&](CFolderDialog& d) {
        caption = d.Caption();
        d.EndModal(CFolderDialog::kCancel);
    };
    b.Command(ID_FILE_OPEN);
    CFolderDialog::ShownHook() = nullptr;
    EXPECT_EQ(caption, "Select Directory");
    EXPECT_EQ(b.View()->Model().Count(), 4u);

    // OK on another folder: it becomes the working folder and is listed.
    const std::string other = home.path("other");
    WriteJpeg(other + "/one.jpg", 8, 8);
    bool selected = false;
    CFolderDialog::ShownHook() = [&](CFolderDialog& d) {
        selected = d.SelectFolder(other);
        d.EndModal(CFolderDialog::kOk);
    };
    b.Command(ID_FILE_OPEN);
    CFolderDialog::ShownHook() = nullptr;
    ASSERT_TRUE(selected);
    ASSERT_EQ(b.View()->Model().Count(), 1u);
    EXPECT_EQ(b.View()->Model().Entry(0).name, "one.jpg");
    EXPECT_EQ(plat::CurrentDir(), other + "/");
}

TEST(LumoraBrowser, PrintsThePageOnEightHundredBySixHundredUnits) {
    ScopedHome home;
    TestBrowser b(NumberedFolder(home, 1));
    ASSERT_TRUE(b.WaitLoaded());
    std::unique_ptr<wxPrintout> printout(b.View()->OnCreatePrintout());
    int minPage = 0, maxPage = 0, from = 0, to = 0;
    printout->GetPageInfo(&minPage, &maxPage, &from, &to);
    EXPECT_EQ(maxPage, 1);
    // A landscape page of 1700 x 1100 pixels: the height limits, scale 11/6.
    wxBitmap page(1700, 1100, 24);
    wxMemoryDC dc(page);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    printout->SetDC(&dc);
    printout->SetPageSizePixels(1700, 1100);
    printout->SetPaperRectPixels(wxRect(0, 0, 1700, 1100));
    printout->SetPPIScreen(96, 96);
    printout->SetPPIPrinter(96, 96);
    ASSERT_TRUE(printout->OnPrintPage(1));
    dc.SelectObject(wxNullBitmap);
    const wxImage img = page.ConvertToImage();
    auto rgb = [&](int x, int y) { return wxColour(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y)); };
    EXPECT_EQ(rgb(2, 2), wxColour(89, 80, 70));          // background
    EXPECT_EQ(rgb(1460, 1095), wxColour(89, 80, 70));    // 800 units end near 1466
    EXPECT_EQ(rgb(1480, 500), *wxWHITE);                  // beyond them nothing
    // Cell 0 holds the 64 x 48 picture at (103, 68) units: its middle is no tile.
    const wxColour tile = rgb(20 * 11 / 6, 20 * 11 / 6), thumb = rgb(135 * 11 / 6, 92 * 11 / 6);
    EXPECT_GT(std::abs(tile.Red() - thumb.Red()) + std::abs(tile.Blue() - thumb.Blue()), 60);
}
