// Recordings the capture library makes from the virtual card, played in the
// video browser under Xvfb: the picture moves and is the file's own (against
// ffmpeg's decoding of the same moment), the sound reaches a private sound
// server, a decoder that is not installed is named on the picture, and the
// keys lead in and out of full screen with the divider where it was.
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/display.h>
#include <wx/splitter.h>
#include <wx/toplevel.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "WxTestLoop.h"
#include "calvex/BrowserFrame.h"
#include "calvex/Calvex.h"
#include "calvex/PlayerPanel.h"
#include "platform/Window.h"
#include "support/SoundServer.h"
#include "support/TestEnv.h"

using namespace calvex;
namespace fs = std::filesystem;

namespace {

std::string Sh(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen((cmd + " 2>&1").c_str(), "r")) {
        char buf[512];
        while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// The virtual card (listed last) records `seconds` with sound into path.
bool Record(const std::string& path, int mode, const char* compressor) {
    const std::string probe = tellura::test::BinDir() + "/tellura-probe";
    const std::string list = Sh("'" + probe + "' --list");
    int card = -1;
    for (size_t at = list.find("video "); at != std::string::npos; at = list.find("video ", at + 1))
        card = std::atoi(list.c_str() + at + 6);
    std::string cmd = "'" + probe + "' --card " + std::to_string(card) + " --headless --seconds 4 --sound --mode " +
                      std::to_string(mode) + " --record '" + path + "'";
    if (compressor) cmd += std::string(" --compressor '") + compressor + "'";
    const std::string out = Sh(cmd);
    const bool ok = out.find("stop capture: 1") != std::string::npos;
    if (!ok) ADD_FAILURE() << cmd << "\n" << out;
    return ok;
}

CBrowserFrame* OpenBrowser() {
    wxTheApp->ProcessIdle();
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* f = dynamic_cast<CBrowserFrame*>(w); f && !f->IsBeingDeleted()) return f;
    return nullptr;
}

void GrabRect(const wxRect& r, const std::string& png) {
    Sh("import -window root -crop " + std::to_string(r.width) + "x" + std::to_string(r.height) + "+" +
       std::to_string(r.x) + "+" + std::to_string(r.y) + " +repage " + png);
}

// The picture as shown on the screen, its black surround cut away (the sink
// is given pictures of its window's size, letterboxed). Returns "WxH".
std::string Grab(CPlayerPanel* p, const std::string& png) {
    const wxRect r = p->VideoWindow()->GetScreenRect();
    int w = 0, h = 0;
    if (!p->Engine().PictureSize(&w, &h)) return "";
    w = std::min(w, r.width), h = std::min(h, r.height);
    GrabRect(wxRect(r.x + (r.width - w) / 2, r.y + (r.height - h) / 2, w, h), png);
    Sh("convert " + png + " -fuzz 3% -trim +repage " + png);
    return Sh("identify -format '%wx%h' " + png);
}

// ImageMagick's normalised root mean square difference, 0 (same) .. 1.
double Difference(const std::string& a, const std::string& b) {
    const std::string out = Sh("compare -metric RMSE " + a + " " + b + " null:");
    const size_t open = out.find('(');
    return open == std::string::npos ? 1.0 : std::atof(out.c_str() + open + 1);
}

// ffmpeg's picture of the file at seconds, at the size shown.
std::string Reference(const std::string& file, double seconds, const std::string& size, const std::string& png) {
    const size_t x = size.find('x');
    // ffmpeg's -ss counts from the file's first time stamp (0.5 s into an
    // MPEG program stream).
    const double start = std::atof(Sh("ffprobe -v error -show_entries format=start_time -of csv=p=0 '" + file + "'").c_str());
    Sh("ffmpeg -v error -y -ss " + std::to_string(std::max(0.0, seconds - start)) + " -i '" + file +
       "' -frames:v 1 -vf scale=" + size.substr(0, x) + ":" + size.substr(x + 1) + " " + png);
    return png;
}

// The least difference from ffmpeg's pictures a frame either side of seconds
// (the two sides may round a time stamp to neighbouring frames).
double DifferenceAt(const std::string& grab, const std::string& file, double seconds, const std::string& size) {
    double best = 1.0;
    for (double dt : {-0.04, 0.0, 0.04})
        best = std::min(best, Difference(grab, Reference(file, seconds + dt, size, grab + ".ref.png")));
    return best;
}

class Browser : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TELLURA_VIDEO_SINK", "x", 1);  // unscaled pictures, as the grabs expect
        folder_ = std::string(std::getenv("HOME")) + "/recordings";
        fs::create_directories(folder_);
        ok_ = Record(folder_ + "/vcd.mpg", 1, nullptr) && Record(folder_ + "/dvd.mpg", 2, nullptr) &&
              Record(folder_ + "/raw.avi", 3, nullptr) && Record(folder_ + "/mpeg4.avi", 3, "MPEG-4 part 2");
    }
    void SetUp() override {
        ASSERT_TRUE(ok_);
        ASSERT_NE(Calvex_Open(owner_, 0x5831, folder_.c_str()), 0);
        f_ = OpenBrowser();
        ASSERT_NE(f_, nullptr);
        ASSERT_TRUE(PumpUntil([&] { return f_->Folder().AllProbed(); }, 20000));
    }
    void TearDown() override {
        if (f_) f_->Close(true);
        PumpUntil([] { return !OpenBrowser(); }, 5000);
        plat::DestroyWindowHandle(owner_);
    }
    size_t RowOf(const std::string& name) {
        for (size_t i = 0; i < f_->Rows(); ++i)
            if (f_->RowAt(i).name == name) return i;
        ADD_FAILURE() << name << " not listed";
        return 0;
    }
    // Pauses and waits until the paused picture has been drawn; the time
    // stamp of the picture shown.
    double PauseAt() {
        CPlayerPanel* p = f_->Player();
        p->TogglePlay();
        Pump(600);
        return p->Engine().ShownPictureTime();
    }

    static inline std::string folder_;
    static inline bool ok_ = false;
    plat::HWND owner_ = plat::CreateWindowHandle(nullptr);
    CBrowserFrame* f_ = nullptr;
};

TEST_F(Browser, EveryRecordingKindPlaysItsMovingPictureAndSound) {
    tellura::test::PrivateSoundServer sound(std::string(std::getenv("HOME")) + "/pulse");
    ASSERT_TRUE(sound.Start());
    const std::string shots = std::string(std::getenv("HOME")) + "/";
    for (const char* name : {"vcd.mpg", "dvd.mpg", "raw.avi", "mpeg4.avi"}) {
        SCOPED_TRACE(name);
        const std::string file = folder_ + "/" + name;
        f_->Select(RowOf(name));
        f_->PlaySelected();
        CPlayerPanel* p = f_->Player();
        ASSERT_TRUE(PumpUntil([&] { return p->Playing() && p->Position() > 0.8; }, 20000)) << p->Message();
        const double rms = tellura::test::Rms(sound.Record(400));
        EXPECT_GT(rms, 50) << "no sound at the null sink";
        const double t1 = PauseAt();
        const std::string a = shots + "a.png", b = shots + "b.png";
        const std::string size = Grab(p, a);
        // The file's picture, but for each side's scaling, deinterlacing and
        // reading of MPEG-1's pixel aspect (a black, grey or other picture
        // differs by 0.3 and more; a frozen one fails the motion check).
        EXPECT_LT(DifferenceAt(a, file, t1, size), 0.15) << "at " << t1 << " " << size;
        p->TogglePlay();
        ASSERT_TRUE(PumpUntil([&] { return p->Engine().ShownPictureTime() > t1 + 1.0; }, 10000));
        const double t2 = PauseAt();
        Grab(p, b);
        EXPECT_GT(Difference(a, b), 0.02) << "the picture did not move between " << t1 << " and " << t2;
        EXPECT_LT(DifferenceAt(b, file, t2, size), 0.15) << "at " << t2;
        EXPECT_EQ(p->Message(), "");
    }
}

// With every video decoder ranked out of GStreamer's choice, the MPEG-1
// recording does not play on without a picture: the picture area names the
// missing decoder and its package.
TEST_F(Browser, AMissingDecoderIsNamedOnThePicture) {
    std::map<GstPluginFeature*, guint> ranks;
    GList* decoders = gst_element_factory_list_get_elements(
        GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO, GST_RANK_NONE);
    for (GList* l = decoders; l; l = l->next) {
        auto* feature = GST_PLUGIN_FEATURE(l->data);
        ranks[feature] = gst_plugin_feature_get_rank(feature);
        gst_plugin_feature_set_rank(feature, GST_RANK_NONE);
    }
    f_->Select(RowOf("vcd.mpg"));
    f_->PlaySelected();
    CPlayerPanel* p = f_->Player();
    EXPECT_TRUE(PumpUntil([&] { return !p->Message().empty(); }, 15000));
    EXPECT_NE(p->Message().find("MPEG-1 Video decoder is not installed (package gstreamer1.0-libav)"),
              std::string::npos)
        << p->Message();
    EXPECT_FALSE(p->Playing());
    const std::string shot = std::string(std::getenv("HOME")) + "/missing.png";
    GrabRect(p->VideoWindow()->GetScreenRect(), shot);
    if (const char* keep = std::getenv("TELLURA_SHOT")) fs::copy_file(shot, keep, fs::copy_options::overwrite_existing);
    // White text on the dark box: the message is readable over any picture.
    EXPECT_NE(Sh("convert " + shot + " -format '%[fx:maxima.r]' info:"), "0") << "no light text drawn";
    for (auto& [feature, rank] : ranks) gst_plugin_feature_set_rank(feature, rank);
    gst_plugin_feature_list_free(decoders);
}

TEST_F(Browser, KeysLeaveFullScreenAndTheDividerStays) {
    // The divider opens at three fifths of the window, then stays put.
    const int sash = f_->GetClientSize().x * 60 / 100;
    ASSERT_TRUE(PumpUntil([&] { return f_->Splitter()->GetSashPosition() == sash; }, 5000))
        << f_->Splitter()->GetSashPosition() << " instead of " << sash;
    f_->Raise();
    Pump(300);
    const unsigned long id = NativeXidOf(f_);
    const std::string focus = "xdotool windowfocus --sync " + std::to_string(id) + "; xdotool key ";
    for (const auto& [in, out] : {std::pair{"F", "Escape"}, std::pair{"F11", "F"}, std::pair{"F", "F11"}}) {
        SCOPED_TRACE(std::string(in) + " then " + out);
        Sh(focus + in);
        EXPECT_TRUE(PumpUntil([&] { return f_->IsFullScreen(); }, 5000));
        Sh("xdotool key " + std::string(out));
        EXPECT_TRUE(PumpUntil([&] { return !f_->IsFullScreen(); }, 5000));
        EXPECT_TRUE(PumpUntil([&] { return f_->Splitter()->GetSashPosition() == sash; }, 3000))
            << f_->Splitter()->GetSashPosition() << " instead of " << sash;
    }
}

}  // namespace
