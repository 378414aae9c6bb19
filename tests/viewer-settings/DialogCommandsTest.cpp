// The running viewer's favourite channel, overlay and property dialog
// commands on the virtual card: when they open, what they hand back, and the
// overlay found in the pixels of a still.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <wx/checkbox.h>
#include <wx/textctrl.h>

#include "SettingsTestSupport.h"
#include "ViewerAppSupport.h"
#include "orvane/ui/BmpButton.h"
#include "orvane/ui/ConfigLogo.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/PropertyFrame.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/TvList.h"
#include "platform/Paths.h"
#include "strova/Strova.h"
#include "support/TestEnv.h"

using orvane::Rt;
using tellura::test::ScopedHome;

namespace {

// A 24-bit BMP of w x h, all red.
void WriteRedBmp(const std::string& path, int w, int h) {
    const int stride = (w * 3 + 3) & ~3;
    const uint32_t pixels = uint32_t(stride) * h, size = 54 + pixels;
    std::string f(size, '\0');
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) f[at + i] = char(v >> (8 * i));
    };
    f[0] = 'B', f[1] = 'M';
    put(2, size, 4), put(10, 54, 4), put(14, 40, 4), put(18, w, 4), put(22, h, 4);
    put(26, 1, 2), put(28, 24, 2), put(34, pixels, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) f[54 + size_t(y) * stride + x * 3 + 2] = char(255);
    ASSERT_TRUE(tellura::test::WriteFile(path, f));
}

// Whether a still of the viewer's card is red at a spot; stills are taken
// until the answer is `want` (the overlay reaches the frames a moment later).
bool StillRedIs(const std::string& file, int x, int y, bool want) {
    bool red = !want;
    for (int i = 0; i < 40 && red != want; ++i) {
        if (i) Pump(100);
        std::filesystem::remove(file);
        Strova_SaveToBmpFile(Rt().deviceIndex, file.c_str());
        wxImage img;
        red = std::filesystem::exists(file) && img.LoadFile(file) && x < img.GetWidth() && y < img.GetHeight() &&
              img.GetRed(x, y) > 200 && img.GetGreen(x, y) < 70 && img.GetBlue(x, y) < 70;
    }
    return red == want;
}

template <class Dlg>
struct Shown {
    explicit Shown(typename Dlg::ShownFn fn) : seen(std::make_shared<bool>(false)) {
        auto flag = seen;
        Dlg::ShownHook() = [flag, fn](Dlg& d) {
            *flag = true;
            fn(d);
        };
    }
    ~Shown() { Dlg::ShownHook() = nullptr; }
    std::shared_ptr<bool> seen;
};

int Property(int p) {
    int32_t v[6] = {};
    Strova_GetVideoPropertyValue(Rt().deviceIndex, p, v);
    return v[0];
}

}  // namespace

// The channel list opens only on the tuner input with channels; OK with the
// favourites ticked hands the choice over and hides the panel's indicator.
TEST(ChannelListCommand, OpensWithChannelsAndHandsTheTablesBack) {
    ScopedHome home;
    InProcessViewer v([](orvane::RunTime& rt) { SeedStations(rt, 3); rt.vidSource = 0; });
    ASSERT_TRUE(v.dlg);
    Shown<CTvList> shown([](CTvList& d) {
        EXPECT_EQ(d.Editor().Count(CTvList::Side::kChannels), 3);
        Click(d.FindWindow(1042));
        Press(&d, wxID_OK);
    });
    EXPECT_FALSE(v.dlg->IsMenuEnabled(ID_CHANNEL_LIST)) << "not on the tuner input";
    v.dlg->SendCommand(ID_CHANNEL_LIST);
    EXPECT_FALSE(*shown.seen);
    Rt().vidSource = 1;
    EXPECT_TRUE(v.dlg->IsMenuEnabled(ID_CHANNEL_LIST));
    v.dlg->SendCommand(ID_CHANNEL_LIST);
    EXPECT_TRUE(*shown.seen);
    EXPECT_EQ(Rt().useFave, 1);
    EXPECT_EQ(StoredNumber("UseFave"), 1u) << "kept on disk at once";
    EXPECT_FALSE(v.dlg->ControlPanel()->GetButton(IDC_FAVE_INDICATOR)->IsShown());
}

// The stored logo is on the picture from the start (in the default
// connection); the dialog's check box
// takes it off at once, and Cancel brings the stored overlay back. A
// negative "Date X:" is refused, a negative "Date Y:" taken on OK.
TEST(OverlayCommand, StoredOverlayAtStartLiveChangesAndOk) {
    ScopedHome home;
    const std::string logo = home.path("logo.bmp");
    WriteRedBmp(logo, 120, 90);
    InProcessViewer v([&](orvane::RunTime& rt) {
        std::snprintf(rt.logoFile, sizeof rt.logoFile, "%s", logo.c_str());
        rt.showLogo = 1, rt.xLogo = 20, rt.yLogo = 20, rt.showTime = 0, rt.showDate = 0;
    });
    ASSERT_TRUE(v.dlg);
    const std::string still = home.path("still.bmp");
    EXPECT_TRUE(StillRedIs(still, 40, 40, true)) << "stored logo not applied at start";
    {
        Shown<CConfigLogo> shown([&](CConfigLogo& d) {
            EXPECT_EQ(Ctl<wxTextCtrl>(&d, 1020)->GetValue(), logo);
            Click(d.FindWindow(1028));  // "Show Logo" off, at once
            EXPECT_TRUE(StillRedIs(still, 40, 40, false)) << "logo still shown";
            Press(&d, wxID_CANCEL);
        });
        v.dlg->SendCommand(ID_OVERLAY_SETTINGS);
        EXPECT_TRUE(*shown.seen);
    }
    EXPECT_EQ(Rt().showLogo, 1);
    EXPECT_TRUE(StillRedIs(still, 40, 40, true)) << "stored overlay not applied after Cancel";

    Shown<CConfigLogo> shown([&](CConfigLogo& d) {
        Type(d.FindWindow(1032), "-5");
        Press(&d, wxID_OK);
        EXPECT_TRUE(d.IsShown()) << "negative Date X taken";
        Type(d.FindWindow(1032), "7");
        Type(d.FindWindow(1033), "-5");
        Click(d.FindWindow(1031));
        Press(&d, wxID_OK);
    });
    v.dlg->SendCommand(ID_OVERLAY_SETTINGS);
    EXPECT_TRUE(std::find(v.asked.begin(), v.asked.end(), "Please enter a positive integer.") != v.asked.end());
    EXPECT_EQ(Rt().xDate, 7);
    EXPECT_EQ(Rt().yDate, -5);
    EXPECT_EQ(Rt().showDate, 1);
}

// Each property command opens its dialog; a control changed there reaches
// the card and the viewer's values: brightness, the recording size, the input.
TEST(PropertyCommands, DialogsChangeTheCard) {
    ScopedHome home;
    InProcessViewer v([](orvane::RunTime& rt) { rt.useSnapCap = 1; });
    ASSERT_TRUE(v.dlg);
    int32_t exists = 0;
    ASSERT_EQ(Strova_IsPropertyExist(Rt().deviceIndex, 0, &exists), S_OK);
    EXPECT_EQ(exists, 1);
    {
        Shown<CPropertyFrame> shown([](CPropertyFrame& d) {
            EXPECT_EQ(d.GetTitle(), "Video Capture Device");
            Choose(d.FindWindow(2000), 7000);
            EXPECT_EQ(Property(0), 7000) << "the picture follows at once";
            Press(&d, wxID_OK);
        });
        v.dlg->SendCommand(ID_PROP_CAPTURE_DEVICE);
        EXPECT_TRUE(*shown.seen);
    }
    EXPECT_EQ(Rt().vidBrightness, 7000);
    {
        Shown<CPropertyFrame> shown([](CPropertyFrame& d) {
            EXPECT_EQ(d.GetTitle(), "Recording Format");
            Choose(d.FindWindow(2101), 7);  // 320 x 240
            Press(&d, wxID_OK);
        });
        v.dlg->SendCommand(ID_PROP_RECORD_FORMAT);
        EXPECT_TRUE(*shown.seen);
    }
    VideoInfo info{};
    ASSERT_GE(Strova_GetVideoInfo(Rt().deviceIndex, &info, STROVA_PIN_CAPTURE), 0);
    EXPECT_EQ(info.bmi.width, 320);
    EXPECT_EQ(std::abs(info.bmi.height), 240);
    {
        // The picture stays on while the page is open; the new size follows OK.
        Shown<CPropertyFrame> shown([&](CPropertyFrame& d) {
            EXPECT_EQ(d.GetTitle(), "Display Format");
            const std::string still = home.path("open.bmp");
            EXPECT_EQ(Strova_SaveToBmpFile(Rt().deviceIndex, still.c_str()), 1) << "picture off while open";
            Choose(d.FindWindow(2101), 7);  // 320 x 240
            Press(&d, wxID_OK);
        });
        v.dlg->SendCommand(ID_PROP_DISPLAY_FORMAT);
        EXPECT_TRUE(*shown.seen);
    }
    ASSERT_GE(Strova_GetVideoInfo(Rt().deviceIndex, &info, STROVA_PIN_PREVIEW), 0);
    EXPECT_EQ(info.bmi.width, 320);
    EXPECT_TRUE(PumpUntil([&] { return v.dlg->GetSize() == wxSize(330, 250); })) << "normal size for the new format";
    EXPECT_TRUE(PumpUntil([] {
        return Strova_SaveToBmpFile(Rt().deviceIndex, (plat::TempDir() + "after.bmp").c_str()) == 1;
    }, 8000)) << "no picture after the change";
    {
        Shown<CPropertyFrame> shown([](CPropertyFrame& d) {
            EXPECT_EQ(d.GetTitle(), "Chunnel Selection");
            Click(d.FindWindow(2202));
            Press(&d, wxID_OK);
        });
        v.dlg->SendCommand(ID_PROP_INPUT_SELECT);
        EXPECT_TRUE(*shown.seen);
    }
    EXPECT_EQ(Rt().vidSource, 2);
}

namespace {

void Shoot(wxWindow* w, const char* shot, const std::string& name) {
    Pump(400);
    const wxRect r = w->GetScreenRect();
    if (shot)
        std::system(("import -window root -crop " + std::to_string(r.width) + "x" + std::to_string(r.height) + "+" +
                     std::to_string(r.x) + "+" + std::to_string(r.y) + " " + shot + "-" + name + ".png")
                        .c_str());
}

// Not part of the suite: the three dialogs saved as $TELLURA_SHOT-<name>.png
// (run with --gtest_also_run_disabled_tests).
TEST(Showcase, DISABLED_ChannelOverlayAndPropertyDialogs) {
    ScopedHome home;
    InProcessViewer v([](orvane::RunTime& rt) {
        SeedStations(rt, 6);
        rt.faves[0] = rt.channels[1];
        rt.faves[1] = rt.channels[3];
        rt.faveNum = 2;
    });
    ASSERT_NE(v.dlg, nullptr);
    const char* shot = std::getenv("TELLURA_SHOT");
    Shown<CTvList> list([&](CTvList& d) { d.Move(20, 20); Shoot(&d, shot, "favourites"); Press(&d, wxID_CANCEL); });
    v.dlg->SendCommand(ID_CHANNEL_LIST);
    Shown<CConfigLogo> logo([&](CConfigLogo& d) { d.Move(20, 20); Shoot(&d, shot, "overlay"); Press(&d, wxID_CANCEL); });
    v.dlg->SendCommand(ID_OVERLAY_SETTINGS);
    for (int id : {ID_PROP_CAPTURE_DEVICE, ID_PROP_DISPLAY_FORMAT, ID_PROP_INPUT_SELECT}) {
        Shown<CPropertyFrame> page([&](CPropertyFrame& d) {
            d.Move(20, 20);
            Shoot(&d, shot, std::to_string(id));
            Press(&d, wxID_CANCEL);
        });
        v.dlg->SendCommand(id);
    }
}

}  // namespace
