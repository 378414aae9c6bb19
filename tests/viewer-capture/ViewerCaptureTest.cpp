// The capture commands in the running viewer on the virtual card: panel
// command, Ctrl + click and remote keys reach the files and the window.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <wx/app.h>
#include <wx/event.h>
#include <wx/toplevel.h>

#include "ViewerAppSupport.h"
#include "orvane/core/Settings.h"
#include "orvane/ui/BmpButton.h"
#include "orvane/ui/ControlDlg.h"
#include "orvane/ui/OrvaneDlg.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/TVControl.h"
#include "orvane/ui/dispDlg.h"
#include "strova/Strova.h"

using orvane::Rt;

namespace {

std::string Shell(const std::string& command) {
    std::string out;
    if (std::FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buf[256];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::string Named(const char* folder, int number, const char* ext) {
    return std::string(folder) + Rt().datePrefix + std::to_string(number) + ext;
}

}  // namespace

TEST(ViewerCapture, SnapshotsByPanelCtrlClickAndRemote) {
    tellura::test::ScopedHome home;
    const std::string snaps = home.path("snaps/");
    ::mkdir(snaps.c_str(), 0755);
    InProcessViewer v([&](orvane::RunTime& rt) {
        orvane::CopyField(rt.snapshotPath, snaps);
        rt.isSaveAsJpeg = 1;
        rt.jpegQuality = 70;
        rt.userEnSnap = 1;  // the panel would ask for a name; the remote never does
    });
    COrvaneDlg* d = v.dlg;
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->IsMenuEnabled(IDC_SNAPSHOT));
    EXPECT_TRUE(d->ControlPanel()->GetButton(IDC_RECORD)->IsEnabled());

    d->OnRemoteKey(160);
    ASSERT_TRUE(PumpUntil([&] { return d->Osd()->Text() == "OKAY !"; }));
    const std::string first = Named(snaps.c_str(), 1, ".jpg");
    EXPECT_EQ(Shell("identify -format %m '" + first + "'"), "JPEG");
    EXPECT_NEAR(std::atoi(Shell("identify -format %Q '" + first + "'").c_str()), 70, 5);

    Rt().userEnSnap = 0;
    Rt().isSaveAsJpeg = 0;
    d->SendCommand(IDC_SNAPSHOT);
    wxMouseEvent click(wxEVT_LEFT_DOWN);
    click.SetControlDown(true);
    click.SetShiftDown(true);  // Ctrl wins: a snapshot, not save-as
    click.SetEventObject(d);
    d->ProcessWindowEvent(click);
    Pump(50);
    for (int n : {1, 2})
        EXPECT_EQ(Shell("identify -format %m '" + Named(snaps.c_str(), n, ".bmp") + "'"), "BMP3") << n;
    EXPECT_TRUE(v.asked.empty());
}

TEST(ViewerCapture, RecordingByRemoteKeyDrivesTheWindow) {
    tellura::test::ScopedHome home;
    const std::string videos = home.path("videos/");
    ::mkdir(videos.c_str(), 0755);
    InProcessViewer v([&](orvane::RunTime& rt) { orvane::CopyField(rt.recordPath, videos); });
    COrvaneDlg* d = v.dlg;
    ASSERT_NE(d, nullptr);
    CControlDlg* panel = d->ControlPanel();

    d->OnRemoteKey(42);
    ASSERT_TRUE(d->IsRecording());
    EXPECT_EQ(d->MenuText(IDC_RECORD), "Stop Recording");
    EXPECT_TRUE(panel->GetButton(IDC_RECORD)->IsToggled());
    EXPECT_EQ(panel->GetButton(IDC_RECORD)->GetToolTipText(), "Stop Recording");
    EXPECT_TRUE(panel->GetButton(IDC_REC_INDICATOR)->IsShown());
    EXPECT_FALSE(panel->GetButton(IDC_PAUSE)->IsEnabled());
    EXPECT_FALSE(d->CaptureMenuAllowed(IDC_CONFIGURATION));
    EXPECT_TRUE(panel->GetButton(IDC_SNAPSHOT)->IsEnabled());
    int state = -1;
    d->SendCommand(ID_STREAM_PAUSE);  // ignored while recording
    Strova_GetStreamStatus(Rt().deviceIndex, &state);
    EXPECT_EQ(state, STROVA_STATE_RUNNING);

    Pump(2000);
    d->OnRemoteKey(0x1FF);  // key released
    d->OnRemoteKey(42);
    EXPECT_FALSE(d->IsRecording());
    EXPECT_EQ(d->MenuText(IDC_RECORD), "Start Recording");
    EXPECT_FALSE(panel->GetButton(IDC_RECORD)->IsToggled());
    EXPECT_FALSE(panel->GetButton(IDC_REC_INDICATOR)->IsShown());
    EXPECT_TRUE(panel->GetButton(IDC_PAUSE)->IsEnabled());
    EXPECT_TRUE(d->CaptureMenuAllowed(IDC_CONFIGURATION));
    const std::string file = Named(videos.c_str(), 1, ".mpg");
    EXPECT_NE(Shell("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + file + "'").find("mpeg1video"),
              std::string::npos);
    EXPECT_TRUE(v.asked.empty());
}

// The video browser: refused while recording; otherwise the viewer, panel
// and keypad step aside until the browser's window is gone, whatever way.
TEST(ViewerCapture, VideoBrowserHidesTheViewerUntilItsWindowIsGone) {
    tellura::test::ScopedHome home;
    const std::string videos = home.path("videos/");
    ::mkdir(videos.c_str(), 0755);
    InProcessViewer v([&](orvane::RunTime& rt) {
        orvane::CopyField(rt.recordPath, videos);
        rt.ctrShow = 1;
    });
    COrvaneDlg* d = v.dlg;
    ASSERT_NE(d, nullptr);
    auto browser = []() -> wxWindow* {
        for (wxWindow* w : wxTopLevelWindows)
            if (w->GetLabel().StartsWith("Recordings") && w->IsShown() && !w->IsBeingDeleted()) return w;
        return nullptr;
    };
    d->OnRemoteKey(42);
    ASSERT_TRUE(d->IsRecording());
    d->SendCommand(IDC_OPEN_VIDEOS);
    Pump(100);
    EXPECT_EQ(browser(), nullptr);
    EXPECT_TRUE(d->IsShown());
    Pump(1000);
    d->OnRemoteKey(0x1FF);
    d->OnRemoteKey(42);
    ASSERT_FALSE(d->IsRecording());

    for (int round = 0; round < 2; ++round) {
        d->SendCommand(IDC_OPEN_VIDEOS);
        ASSERT_TRUE(PumpUntil([&] { return browser() != nullptr; }));
        EXPECT_FALSE(d->IsShown());
        EXPECT_FALSE(d->ControlPanel()->IsShown());
        EXPECT_FALSE(d->Keypad()->IsShown());
        // First its own close; then the window destroyed outright, which
        // must bring the viewer back just the same.
        if (round == 0) browser()->Close();
        else browser()->Destroy();
        ASSERT_TRUE(PumpUntil([&] { wxTheApp->ProcessIdle(); return d->IsShown(); })) << round;
        EXPECT_TRUE(d->ControlPanel()->IsShown());
        EXPECT_TRUE(d->Keypad()->IsShown());
    }
    // Left open: the viewer's final close takes the browser with it.
    d->SendCommand(IDC_OPEN_VIDEOS);
    ASSERT_TRUE(PumpUntil([&] { return browser() != nullptr; }));
    EXPECT_TRUE(v.asked.empty());
}
