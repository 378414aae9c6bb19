// Splash picture loading, hyperlink behaviour, the About box and the tray icon.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>

#include <wx/image.h>

#include "UiTestSupport.h"
#include "orvane/ui/AboutDlg.h"
#include "orvane/ui/HyperLink.h"
#include "orvane/ui/Menus.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/SYSTEMTRAY.h"
#include "orvane/ui/SplashDlg.h"
#include "support/TestEnv.h"

namespace {

std::string WriteBytes(const std::string& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

long PeakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

TEST(Splash, RefusesMissingShortForeignAndDamagedFiles) {
    tellura::test::ScopedHome home;
    const std::string dir = home.root();
    wxImage picture(40, 30);
    picture.SetRGB(wxRect(0, 0, 40, 30), 200, 30, 30);
    const std::string good = dir + "/Korblend.bmp";
    ASSERT_TRUE(picture.SaveFile(good, wxBITMAP_TYPE_BMP));
    const std::string bytes = ReadAll(good);

    std::string offsetPastEnd = bytes;
    offsetPastEnd[10] = '\xff';
    offsetPastEnd[11] = '\xff';
    // Run-length coded, 8000 x 8000 in a few bytes: the decoder would
    // allocate and clear 192 MB before reading the first run.
    std::string huge = bytes;
    huge.replace(18, 8, std::string("\x40\x1f\x00\x00\x40\x1f\x00\x00", 8));
    huge.replace(28, 6, std::string("\x08\x00\x01\x00\x00\x00", 6));
    std::string rowsMissing = bytes;
    rowsMissing[22] = '\x40';  // 64 rows declared, 30 stored
    const std::string cases[] = {
        dir + "/missing.bmp",
        WriteBytes(dir, "ten.bmp", bytes.substr(0, 10)),
        WriteBytes(dir, "png.bmp", "\x89PNG" + bytes.substr(4)),
        WriteBytes(dir, "offset.bmp", offsetPastEnd),
        WriteBytes(dir, "cut.bmp", bytes.substr(0, 60)),
        WriteBytes(dir, "huge.bmp", huge),
        WriteBytes(dir, "rows.bmp", rowsMissing),
    };
    const long peakBefore = PeakResidentKb();
    for (const std::string& path : cases) {
        auto* splash = new CSplashDlg;
        EXPECT_FALSE(splash->CreateFromFile(IDD_SPLASH, nullptr, path)) << path;
        delete splash;
    }
    EXPECT_LT(PeakResidentKb() - peakBefore, 64 * 1024) << "the huge picture was never allocated";

    auto* splash = new CSplashDlg;
    ASSERT_TRUE(splash->CreateFromFile(IDD_SPLASH, nullptr, good));
    splash->Show();
    Pump();
    EXPECT_EQ(splash->GetClientSize(), wxSize(40, 30));
    wxMouseEvent click(wxEVT_LEFT_DOWN);
    splash->GetEventHandler()->ProcessEvent(click);
    EXPECT_FALSE(splash->IsShown());
    Pump(5);
}

TEST(HyperLink, OpensTargetMarksVisitedAndDropsUnderlineWhenPointerLeaves) {
    RecordingHost host;
    std::vector<wxString> opened;
    CHyperLink::SetOpener([&](const wxString& t, CHyperLink::Done done) {
        opened.push_back(t);
        done(42);
    });
    auto* link = new CHyperLink(host.main, IDC_WEB_LINK, "tellura-tv.org", wxPoint(10, 10));
    link->SetTarget("https://tellura-tv.org/");
    EXPECT_EQ(link->GetToolTipText(), "https://tellura-tv.org/");
    EXPECT_EQ(link->CurrentColour(), CHyperLink::kLink);

    wxMouseEvent move(wxEVT_MOTION);
    link->GetEventHandler()->ProcessEvent(move);
    EXPECT_TRUE(link->IsOver());
    EXPECT_TRUE(link->IsUnderlined());
    EXPECT_EQ(link->CurrentColour(), CHyperLink::kHover);
    link->CheckHover(link->ClientToScreen(wxPoint(2, 2)));
    EXPECT_TRUE(link->IsOver());
    link->CheckHover(link->ClientToScreen(wxPoint(500, 500)));
    EXPECT_FALSE(link->IsOver());
    EXPECT_FALSE(link->IsUnderlined());

    link->Click();
    EXPECT_EQ(opened, std::vector<wxString>{"https://tellura-tv.org/"});
    EXPECT_TRUE(link->IsVisited());
    EXPECT_EQ(link->CurrentColour(), CHyperLink::kVisited);
    link->SetUnderline(CHyperLink::kUnderlineAlways);
    EXPECT_TRUE(link->IsUnderlined());
    CHyperLink::SetOpener(nullptr);
}

// The real opener: xdg-open's exit status decides, and a missing xdg-open is
// reported too. The link stays unvisited after a failure.
TEST(HyperLink, FailedOpenBeepsReportsAndLeavesLinkUnvisited) {
    RecordingHost host;
    tellura::test::ScopedHome home;
    std::vector<wxString> asked;
    COrvaneDlg::MessageBoxHook() = [&](const wxString& text, const wxString&, long) {
        asked.push_back(text);
        return wxOK;
    };
    const std::string bin = home.path("bin");
    const char* oldPath = getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "";
    auto* link = new CHyperLink(host.main, IDC_WEB_LINK, "tellura-tv.org");
    const struct {
        const char* script;  // nullptr: no xdg-open at all
        const char* message;
    } cases[] = {
        {"exit 3", "There is no application associated\nwith the given filename extension."},
        {"exit 2", "The specified file was not found."},
        {nullptr, "The specified file was not found."},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(bin);
        if (c.script) {
            ASSERT_TRUE(tellura::test::WriteFile(bin + "/xdg-open", std::string("#!/bin/sh\n") + c.script + "\n"));
            std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
        }
        setenv("PATH", (bin + ":/nonexistent").c_str(), 1);
        asked.clear();
        link->Click();
        EXPECT_TRUE(PumpUntil([&] { return !asked.empty(); })) << (c.script ? c.script : "missing");
        if (!asked.empty()) {
            EXPECT_EQ(asked[0], wxString("Unable to open hyperlink:\n\n") + c.message);
        }
        EXPECT_FALSE(link->IsVisited());
    }
    ASSERT_TRUE(tellura::test::WriteFile(bin + "/xdg-open", "#!/bin/sh\nexit 0\n"));
    std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
    asked.clear();
    link->Click();
    EXPECT_TRUE(PumpUntil([&] { return link->IsVisited(); }));
    EXPECT_TRUE(asked.empty());
    setenv("PATH", savedPath.c_str(), 1);
    COrvaneDlg::MessageBoxHook() = nullptr;
}

TEST(HyperLink, ErrorTexts) {
    EXPECT_EQ(HyperlinkErrorText(2), "The specified file was not found.");
    EXPECT_EQ(HyperlinkErrorText(26), "A sharing violation occurred. ");
    EXPECT_EQ(HyperlinkErrorText(31),
              "There is no application associated\nwith the given filename extension.");
    EXPECT_EQ(HyperlinkErrorText(17), "Unknown Error (17) occurred.");
}

TEST(About, LinksPointAtTheProjectSiteAndSupportAddress) {
    RecordingHost host;
    auto* about = new CAboutDlg(host.main);
    about->Show();
    Pump();
    EXPECT_EQ(about->WebLink()->GetTarget(), kProjectSite);
    EXPECT_EQ(about->MailLink()->GetTarget(), kSupportMail);
    EXPECT_EQ(about->WebLink()->GetId(), IDC_WEB_LINK);
    EXPECT_EQ(about->MailLink()->GetId(), IDC_MAIL_LINK);
    about->Destroy();
}

TEST(Tray, CallsBeforeASuccessfulAddDoNothingAndMenuCarriesItsCommands) {
    RecordingHost host;
    CSystemTray tray(&host);
    tray.ChangeTrayIcon(IDI_RECORDING);
    tray.ShowTrayIcon();
    tray.HideTrayIcon();
    EXPECT_FALSE(tray.IsEnabled());
    EXPECT_FALSE(tray.AddTrayIcon(host.main, 0x100, kTrayTipText, IDR_MAINFRAME, IDR_TRAY_MENU))
        << "callback message below the user range";
    EXPECT_FALSE(tray.IsEnabled());
    const bool added = tray.AddTrayIcon(host.main, WM_TRAY_NOTIFY, kTrayTipText, IDR_MAINFRAME,
                                        IDR_TRAY_MENU);
    EXPECT_EQ(tray.IsEnabled(), added);
    if (added) {
        tray.HideTrayIcon();
        tray.HideTrayIcon();
        EXPECT_TRUE(tray.IsHidden());
        tray.ShowTrayIcon();
        EXPECT_FALSE(tray.IsHidden());
    }
    tray.OnLeftDoubleClick();
    EXPECT_EQ(host.restores, 1);

    std::unique_ptr<wxMenu> menu(LoadMenuResource(IDR_TRAY_MENU));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->GetLabel(MenuItemId(ID_TRAY_RUN)), "&Run Tellura");
    EXPECT_EQ(menu->GetLabel(MenuItemId(ID_TRAY_EXIT)), "&Exit Tellura");
    std::unique_ptr<wxMenu> context(LoadMenuResource(IDR_CONTEXT_MENU));
    ASSERT_TRUE(context);
    EXPECT_EQ(context->FindItemByPosition(0)->GetId(), IDC_CONFIGURATION);
    EXPECT_TRUE(context->IsChecked(MenuItemId(ID_FORCE_RATIO_43)));
    EXPECT_EQ(LoadMenuResource(999), nullptr);
    for (int id : {IDC_SHOW_CONTROL_PANEL, ID_CLOSE, ID_TRAY_RUN, ID_FORCE_SIZE_640})
        EXPECT_EQ(CommandFromMenuItem(MenuItemId(id)), id);
    EXPECT_LT(MenuItemId(ID_TRAY_RUN), 32767);
}

TEST(Splash, ShippedPictureLoads) {
    wxImage picture;
    ASSERT_TRUE(LoadBmpFile(tellura::test::BinDir() + "/resources/Korblend.bmp", &picture));
    EXPECT_EQ(picture.GetSize(), wxSize(420, 240));
}
