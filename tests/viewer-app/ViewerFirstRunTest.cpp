// A new user's first runs: the channel commands reachable from the context
// menu on a fresh install, and a restart on the stored channel and standard
// in a language the library has no pin names for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include <wx/menu.h>
#include <wx/time.h>

#include "ViewerAppSupport.h"
#include "orvane/core/Settings.h"
#include "orvane/ui/Menus.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/dispDlg.h"
#include "strova/Strova.h"

using orvane::Rt;

namespace {

// Mean colour (0xRRGGBB) of a strip near the bottom-left corner of a BMP
// still: the station's own colour on the virtual card. -1 when unreadable.
int BottomColour(const std::string& path) {
    const std::string b = tellura::test::ReadFile(path);
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return -1;
    auto u32 = [&](size_t at) { uint32_t v; std::memcpy(&v, b.data() + at, 4); return v; };
    const uint32_t offset = u32(10), width = u32(18), bits = b[28];
    if (bits != 24 && bits != 32) return -1;
    const size_t stride = (width * (bits / 8) + 3) & ~3u, row = 8;  // rows run bottom-up
    unsigned sum[3] = {};
    for (size_t x = 8; x < 40; ++x) {
        const size_t at = offset + row * stride + x * (bits / 8);
        if (at + 3 > b.size()) return -1;
        for (int c = 0; c < 3; ++c) sum[c] += uint8_t(b[at + c]);  // blue, green, red
    }
    return int((sum[2] / 32) << 16 | (sum[1] / 32) << 8 | (sum[0] / 32));
}

bool SameColour(int a, int b) {
    if (a < 0 || b < 0) return false;
    int d = 0;
    for (int s = 0; s < 24; s += 8) d += std::abs(((a >> s) & 0xFF) - ((b >> s) & 0xFF));
    return d < 60;
}

TEST(ViewerFirstRun, ChannelsMenuReachesTheScanAndKeepsItOnDisk) {
    tellura::test::ScopedHome home;
    InProcessViewer v([](orvane::RunTime& rt) {
        rt.vidSource = 1;  // the tuner, with no channel stored yet
        rt.totalTv = 0;
    });
    ASSERT_NE(v.dlg, nullptr);
    COrvaneDlg* d = v.dlg;
    for (int id : {IDC_SCAN_CHANNELS, IDC_CHANNEL_UP, IDC_CHANNEL_DOWN, ID_CHANNEL_LIST, ID_KEYPAD_TOGGLE})
        EXPECT_NE(d->ContextMenu()->FindItem(MenuItemId(id)), nullptr) << id;
    EXPECT_TRUE(d->IsMenuEnabled(IDC_SCAN_CHANNELS));
    for (int id : {IDC_CHANNEL_UP, IDC_CHANNEL_DOWN, ID_CHANNEL_LIST, ID_KEYPAD_TOGGLE})
        EXPECT_FALSE(d->IsMenuEnabled(id)) << id;
    EXPECT_EQ(d->Osd()->Text(), kNoChannelsHint);
    // The hint outlasts the display's time-out and lies inside the picture.
    for (int i = 0; i < 2 * CDispDlg::kHideAfter; ++i) d->Osd()->Tick();
    EXPECT_TRUE(d->Osd()->IsMessageShown());
    const wxRect picture = d->GetScreenRect().Deflate(5), hint = d->Osd()->GetScreenRect();
    EXPECT_TRUE(picture.Contains(hint)) << hint.x << "," << hint.y << " " << hint.width << "x" << hint.height;

    wxCommandEvent pick(wxEVT_MENU, MenuItemId(IDC_SCAN_CHANNELS));
    d->GetEventHandler()->ProcessEvent(pick);
    ASSERT_TRUE(d->IsScanRunning());
    ASSERT_TRUE(PumpUntil([d] { return !d->IsScanRunning(); }, 60000));
    EXPECT_EQ(Rt().totalTv, 6);
    // The kept scan is on disk before the viewer ends.
    const std::string reg = tellura::test::ReadFile(home.path("config/quorvel/registry.reg"));
    EXPECT_NE(reg.find("\"TotalTv\"=dword:00000006"), std::string::npos);
    const size_t at = reg.find("\"iTvFreq002\"=dword:");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NEAR(std::strtol(reg.c_str() + at + 19, nullptr, 16), 210250, 250);
    for (int id : {IDC_CHANNEL_UP, IDC_CHANNEL_DOWN, ID_KEYPAD_TOGGLE}) EXPECT_TRUE(d->IsMenuEnabled(id)) << id;
}

// Nothing stored: the viewer opens on the tuner and asks once whether to
// scan; the scan runs, and answering No at its end keeps the empty table.
// Off the tuner the "Channels" submenu is disabled.
TEST(ViewerFirstRun, FreshHomeOpensOnTheTunerAndOffersTheScanOnce) {
    tellura::test::ScopedHome home;
    InProcessViewer v([](const wxString& text) { return text == kFirstScanQuestion ? wxYES : wxNO; });
    ASSERT_NE(v.dlg, nullptr);
    COrvaneDlg* d = v.dlg;
    EXPECT_TRUE(d->IsTunerInputSelected());
    ASSERT_TRUE(PumpUntil([&] { return !v.asked.empty(); }, 20000));
    EXPECT_EQ(v.asked[0], kFirstScanQuestion);
    ASSERT_TRUE(PumpUntil([&] { return v.asked.size() >= 2 && !d->IsScanRunning(); }, 60000));
    EXPECT_TRUE(v.asked[1].StartsWith("Scanning channel finished!")) << v.asked[1];
    EXPECT_NE(v.asked[1].Find("6 channels found."), wxNOT_FOUND) << v.asked[1];
    EXPECT_EQ(Rt().totalTv, 0);
    Pump(200);
    EXPECT_EQ(v.asked.size(), 2u);  // asked once only

    Rt().vidSource = 0;  // S-Video
    d->UpdateChannelsMenu();
    wxMenu* channels = nullptr;
    ASSERT_NE(d->ContextMenu()->FindItem(MenuItemId(IDC_SCAN_CHANNELS), &channels), nullptr);
    for (wxMenuItem* item : d->ContextMenu()->GetMenuItems()) {
        if (item->GetSubMenu() == channels) { EXPECT_FALSE(item->IsEnabled()); }
    }
    EXPECT_FALSE(d->IsMenuEnabled(IDC_SCAN_CHANNELS));
}

TEST(ViewerFirstRun, RestartShowsTheStoredChannelAndStandardInAnyLanguage) {
    tellura::test::ScopedHome home;
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    InProcessViewer v([](orvane::RunTime& rt) {
        SeedStations(rt, 6);
        rt.curTune = 2;            // 210250 kHz
        rt.vidStandard = 0x20;     // PAL D
    });
    unsetenv("LC_ALL");
    ASSERT_NE(v.dlg, nullptr);
    const int dev = Rt().deviceIndex;
    int32_t standard = 0, available = 0;
    EXPECT_GE(Strova_GetVideoStandard(dev, &standard, &available), 0);
    EXPECT_EQ(standard, 0x20);
    const std::string still = home.path("still.bmp");
    auto colour = [&] {
        Strova_SaveToBmpFile(dev, still.c_str());
        return BottomColour(still);
    };
    // The colour the picture settles on: frames already on their way when the
    // start finished may still show the connection's first moments.
    int atStart = -1;
    wxLongLong since = 0;
    ASSERT_TRUE(PumpUntil([&] {
        const int c = colour();
        const wxLongLong now = wxGetLocalTimeMillis();
        if (c < 0 || !SameColour(c, atStart)) {
            atStart = c;
            since = now;
        }
        return c >= 0 && now - since >= 500;
    }, 10000)) << "no steady picture";
    // The first station looks different, and the stored one looks the same.
    SetTvChannelFreg(0, 55250);
    EXPECT_TRUE(PumpUntil([&] { const int c = colour(); return c >= 0 && !SameColour(c, atStart); }, 10000));
    SetTvChannelFreg(0, 210250);
    EXPECT_TRUE(PumpUntil([&] { return SameColour(colour(), atStart); }, 10000));
}

}  // namespace
