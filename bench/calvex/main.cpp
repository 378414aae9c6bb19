// The video browser's list of 200 recordings: the listing visible (names,
// dates, sizes), every duration and format in, and every preview frame made,
// first with no thumbnail cache and then with the cache filled; against 200
// ffprobe calls reading the same durations one after another, as a program
// without in-process probing would.
// The recordings are four short files (VCD, DVD, AVI, and a DVD cut short)
// made once with ffmpeg and hard-linked under 200 names, in a private
// temporary home that is removed at the end.
// Usage: bench-calvex [count]   (default 200)
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "calvex/VideoFolder.h"

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

double Ms(Clock::time_point a) { return std::chrono::duration<double, std::milli>(Clock::now() - a).count(); }

bool Run(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0; }

struct Times {
    double visible = 0, durations = 0, frames = 0;
};

Times ListOnce(const std::string& dir, size_t count) {
    Times t;
    calvex::VideoFolder f;
    const auto t0 = Clock::now();
    f.Scan(dir);
    t.visible = Ms(t0);
    if (f.Count() != count) std::printf("  listed %zu of %zu\n", f.Count(), count);
    f.Fill(nullptr);
    while (!f.AllProbed()) std::this_thread::sleep_for(std::chrono::microseconds(200));
    t.durations = Ms(t0);
    while (!f.AllFramed()) std::this_thread::sleep_for(std::chrono::microseconds(200));
    t.frames = Ms(t0);
    size_t known = 0;
    for (const calvex::Recording& r : f.Snapshot()) known += r.info.duration > 0;
    if (known != count) std::printf("  %zu of %zu durations known\n", known, count);
    return t;
}

void Line(const char* what, double ours, double ref, const char* target) {
    std::printf("%-40s ours %8.1f ms   200 x ffprobe %8.1f ms   ratio %.3f   (target %s)\n", what, ours, ref,
                ours / ref, target);
}

}  // namespace

int main(int argc, char** argv) {
    const size_t count = argc > 1 ? size_t(std::atoi(argv[1])) : 200;
    char tmpl[] = "/tmp/bench-calvex-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string home = tmpl, src = home + "/src", dir = home + "/Videos";
    setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    fs::create_directories(src);
    fs::create_directories(dir);
    const std::string in = "ffmpeg -v error -y -f lavfi -i testsrc=size=352x288:rate=25 -f lavfi -i sine=r=44100 ";
    const bool made = Run(in + "-t 8 -target pal-vcd " + src + "/a.mpg") &&
                      Run(in + "-t 6 -target pal-dvd " + src + "/b.mpg") &&
                      Run(in + "-t 10 -c:v mpeg4 -q:v 4 -c:a pcm_s16le " + src + "/c.avi");
    if (!made) {
        std::fprintf(stderr, "ffmpeg could not make the recordings\n");
        return 1;
    }
    fs::copy_file(src + "/b.mpg", src + "/d.mpg");
    fs::resize_file(src + "/d.mpg", fs::file_size(src + "/b.mpg") / 2);
    const char* kinds[] = {"a.mpg", "b.mpg", "c.avi", "d.mpg"};
    for (size_t i = 0; i < count; ++i) {
        const std::string k = kinds[i % 4];
        char name[64];
        std::snprintf(name, sizeof name, "/2026120%zu-Capture%04zu%s", i % 9 + 1, i + 1, k.substr(1).c_str());
        fs::create_hard_link(src + "/" + k, dir + name);
    }

    // The reference: one ffprobe process per file.
    const auto r0 = Clock::now();
    for (const auto& e : fs::directory_iterator(dir))
        Run("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + e.path().string() + "'");
    const double ffprobe = Ms(r0);

    const Times cold = ListOnce(dir, count);
    const Times warm = ListOnce(dir, count);
    std::printf("%zu recordings, %u cores\n", count, std::thread::hardware_concurrency());
    Line("list visible, no cache", cold.visible, ffprobe, "< 150 ms");
    Line("durations complete, no cache", cold.durations, ffprobe, "< 1000 ms");
    Line("preview frames complete, no cache", cold.frames, ffprobe, "-");
    Line("list visible, cache filled", warm.visible, ffprobe, "< 150 ms");
    Line("durations complete, cache filled", warm.durations, ffprobe, "-");
    Line("preview frames complete, cache filled", warm.frames, ffprobe, "-");
    fs::remove_all(home);
    return 0;
}
