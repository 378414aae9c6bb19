// Times the viewer's full settings save and load (about 1860 values, the save
// one atomic batch) against the same values written to and read from a
// wxFileConfig file in the same run, and prints the ratio.
#include <wx/fileconf.h>
#include <wx/init.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "orvane/core/Settings.h"
#include "platform/Registry.h"

using namespace orvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 15;
constexpr int kNumbers = 57;  // single double words saved at exit
constexpr int kTexts = 5;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Gives every channel entry new contents, so each save really rewrites the file.
void FillTables(int round) {
    RunTime& rt = Rt();
    for (int i = 0; i < kChannelCount; ++i) {
        std::snprintf(rt.channels[i].name, kNameSize, "Channel %03d/%d", i + 1, round);
        rt.channels[i].freq = 47750 + i * 2500 + round;
        rt.channels[i].index = i;
        rt.faves[i] = rt.channels[i];
    }
}

struct Times {
    double save, load;
};

Times TimeStore() {
    auto a = Clock::now();
    SaveSettings();
    auto b = Clock::now();
    LoadSettings();
    auto c = Clock::now();
    return {Ms(a, b), Ms(b, c)};
}

Times TimeWx(const wxString& file) {
    RunTime& rt = Rt();
    char name[32];
    auto a = Clock::now();
    {
        wxFileConfig cfg(wxEmptyString, wxEmptyString, file, wxEmptyString, wxCONFIG_USE_LOCAL_FILE);
        cfg.SetPath("/Software/Quorvel/Tellura");
        for (int i = 0; i < kTexts; ++i) cfg.Write(wxString::Format("Text%d", i), wxString(rt.snapshotPath));
        for (int i = 0; i < kNumbers; ++i) cfg.Write(wxString::Format("Number%d", i), long(i));
        for (int t = 0; t < 2; ++t)
            for (int i = 0; i < kChannelCount; ++i) {
                const ChannelRecord& r = t ? rt.faves[i] : rt.channels[i];
                std::snprintf(name, sizeof name, t ? "szTvNamelo%03d" : "szTvName%03d", i);
                cfg.Write(name, wxString(r.name));
                std::snprintf(name, sizeof name, t ? "iTvFreqlo%03d" : "iTvFreq%03d", i);
                cfg.Write(name, long(r.freq));
                std::snprintf(name, sizeof name, t ? "Indexlo%03d" : "Index%03d", i);
                cfg.Write(name, long(r.index));
            }
        cfg.Flush();
    }
    auto b = Clock::now();
    {
        wxFileConfig cfg(wxEmptyString, wxEmptyString, file, wxEmptyString, wxCONFIG_USE_LOCAL_FILE);
        cfg.SetPath("/Software/Quorvel/Tellura");
        wxString s;
        long n = 0;
        for (int i = 0; i < kTexts; ++i) cfg.Read(wxString::Format("Text%d", i), &s);
        for (int i = 0; i < kNumbers; ++i) cfg.Read(wxString::Format("Number%d", i), &n);
        for (int t = 0; t < 2; ++t)
            for (int i = 0; i < kChannelCount; ++i) {
                std::snprintf(name, sizeof name, t ? "szTvNamelo%03d" : "szTvName%03d", i);
                cfg.Read(name, &s);
                std::snprintf(name, sizeof name, t ? "iTvFreqlo%03d" : "iTvFreq%03d", i);
                cfg.Read(name, &n);
                std::snprintf(name, sizeof name, t ? "Indexlo%03d" : "Index%03d", i);
                cfg.Read(name, &n);
            }
    }
    auto c = Clock::now();
    return {Ms(a, b), Ms(b, c)};
}

}  // namespace

int main(int argc, char** argv) {
    wxInitializer wx(argc, argv);
    char tmpl[] = "/tmp/bench-settings-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    std::string dir = tmpl;
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    LoadSettings();
    const int values = kTexts + kNumbers + 2 * kChannelCount * 3;
    std::vector<double> save, load, wxSave, wxLoad;
    for (int r = 0; r < kRounds; ++r) {
        FillTables(r);
        Times s = TimeStore();
        Times w = TimeWx(wxString(dir + "/wx.ini"));
        save.push_back(s.save);
        load.push_back(s.load);
        wxSave.push_back(w.save);
        wxLoad.push_back(w.load);
    }
    double ms = Median(save), ml = Median(load), ws = Median(wxSave), wl = Median(wxLoad);
    std::printf("settings: %d values, median of %d rounds\n", values, kRounds);
    std::printf("  registry store save (atomic, fsync): %7.2f ms   wxFileConfig save: %7.2f ms   ratio %.2f\n", ms, ws,
                ms / ws);
    std::printf("  registry store load:                 %7.2f ms   wxFileConfig load: %7.2f ms   ratio %.2f\n", ml, wl,
                ml / wl);
    std::printf("  save + load:                         %7.2f ms   wxFileConfig:      %7.2f ms   ratio %.2f\n", ms + ml,
                ws + wl, (ms + ml) / (ws + wl));
    auto a = Clock::now();
    SaveSettings();  // nothing changed since the last load: no write needed
    std::printf("  unchanged save (no write):           %7.2f ms\n", Ms(a, Clock::now()));
    std::printf("  target: save under 20 ms: %s\n", ms < 20 ? "met" : "NOT met");
    std::filesystem::remove_all(dir);
    return 0;
}
