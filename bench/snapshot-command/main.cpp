// Snapshot command latency: command 1012 until the display would show
// "OKAY !", for BMP and for JPEG (quality 85) of full pictures (the preview
// output's size; the virtual card's source is 720 x 576), median of 30, next
// to ImageMagick's convert doing the same BMP->JPEG (and BMP->BMP) in the
// same run. Runs with private XDG folders, so no user settings are touched.
// Usage: bench-snapshot-command
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "orvane/core/CaptureCommands.h"
#include "orvane/core/Settings.h"
#include "ornix/Ornix.h"
#include "platform/Paths.h"
#include "strova/Strova.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRuns = 30;

struct Host : orvane::CaptureHost {
    void CaptureMessage(const std::string& text, const std::string&) override { last = text; }
    void CaptureShowText(const std::string& text) override { last = text; }
    std::string CaptureAskSavePath(const orvane::SaveDialogSetup&) override { return {}; }
    void CaptureUi(const orvane::UiChange&) override {}
    void CaptureRestoreSound() override {}
    std::string last;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Ms(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

std::string PrivateHome() {
    char pattern[] = "/tmp/bench-snapshot-command-XXXXXX";
    const char* root = ::mkdtemp(pattern);
    if (!root) return {};
    const std::string home = root;
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR", "TMPDIR"}) {
        const std::string dir = home + "/" + var;
        ::mkdir(dir.c_str(), 0700);
        ::setenv(var, dir.c_str(), 1);
    }
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("DISPLAY");
    return home;
}

// Median time of command 1012 until "OKAY !"; negative when one failed.
double TimeSnapshots(orvane::CaptureCommands& cmd, Host& host) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        host.last.clear();
        const auto t0 = Clock::now();
        cmd.HandleCommand(orvane::capture_ids::kSnapshot);
        const double ms = Ms(t0);
        if (host.last != orvane::kOkay) return -1;
        times.push_back(ms);
        // A new frame between snapshots, as between two clicks.
        std::this_thread::sleep_for(std::chrono::milliseconds(45));
    }
    return Median(times);
}

double TimeConvert(const std::string& from, const std::string& to, const char* options) {
    std::vector<double> times;
    const std::string command = "convert '" + from + "' " + options + " '" + to + "'";
    for (int i = 0; i < kRuns; ++i) {
        const auto t0 = Clock::now();
        if (std::system(command.c_str()) != 0) return -1;
        times.push_back(Ms(t0));
    }
    return Median(times);
}

void Report(const char* what, double ours, double reference, const char* target) {
    std::printf("%-28s median %7.2f ms; convert %7.2f ms; ratio %.2f%s\n", what, ours, reference,
                reference > 0 ? ours / reference : 0.0, target);
}

}  // namespace

int main() {
    const std::string home = PrivateHome();
    if (home.empty() || Strova_Initialize() < 0) return std::puts("cannot start the capture library"), 1;
    int count = 0;
    Strova_GetCardNumber(&count);
    const int card = count - 1;  // the virtual card
    if (card < 0 || Strova_ConnectDevice(card, 0, nullptr) < 0) return std::puts("no virtual card"), 1;
    orvane::WriteSettingNumber("halfpic", 0);  // full pictures

    orvane::RunTime& rt = orvane::Rt();
    orvane::ResetSettings(rt);
    rt.deviceIndex = card;
    const std::string snaps = home + "/snaps/";
    ::mkdir(snaps.c_str(), 0755);
    orvane::CopyField(rt.snapshotPath, snaps);
    orvane::CopyField(rt.datePrefix, "20030105-");
    rt.jpegQuality = 85;
    Host host;
    orvane::CaptureCommands cmd(host, rt);

    // Wait for the first frame.
    for (int i = 0; i < 250 && host.last != orvane::kOkay; ++i) {
        cmd.Snapshot();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (host.last != orvane::kOkay) return std::puts("the library writes no still"), 1;

    const double bmp = TimeSnapshots(cmd, host);
    rt.isSaveAsJpeg = 1;
    const double jpg = TimeSnapshots(cmd, host);
    const std::string source = snaps + "20030105-1.bmp";
    const double convertJpg = TimeConvert(source, home + "/ref.jpg", "-quality 85");
    const double convertBmp = TimeConvert(source, home + "/ref.bmp", "");
    Strova_Uninitialize();
    if (bmp < 0 || jpg < 0) return std::puts("a snapshot failed"), 1;
    // The picture size is the library's preview output size.
    int w = 0, h = 0, bits = 0, planes = 0, colours = 0;
    GetBMPInfo(source.c_str(), &w, &h, &bits, &planes, &colours);
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    Report(("snapshot " + size + " BMP").c_str(), bmp, convertBmp, " (BMP->BMP)");
    Report(("snapshot " + size + " JPEG q85").c_str(), jpg, convertJpg, " (BMP->JPEG; target < 60 ms at 720x576)");
    std::system(("rm -rf '" + home + "'").c_str());
    return 0;
}
