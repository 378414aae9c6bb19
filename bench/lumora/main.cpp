// The image browser's speed: the first page of nine 4000 x 3000 JPEGs drawn
// in the real window, with no thumbnail cache and with the cache filled,
// against vipsthumbnail making the same nine thumbnails; Refresh of a folder
// of 100,000 files in name order against Python's os.scandir and sorted.
// Runs under a display of 1024 x 768 (xvfb-run -s "-screen 0 1024x768x24"),
// where the page's thumbnails are about the size vipsthumbnail -s 200 makes;
// every file lives in a private temporary home that is removed at the end.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/image.h>

#include "common/RegKey.h"
#include "lumora/ImageList.h"
#include "lumora/LumoraApp.h"
#include "lumora/LumoraView.h"
#include "lumora/MainFrm.h"

using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point a) { return std::chrono::duration<double, std::milli>(Clock::now() - a).count(); }

// Processor time of the whole process (every thread) in ms: on a machine
// shared with other work, the wall time of a short run is mostly waiting.
double CpuMs() {
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

void Ratio(const char* what, double ours, double ref, const char* target) {
    std::printf("%-44s ours %9.1f ms   reference %9.1f ms   ratio %.2f   (target %s)\n", what, ours, ref,
                ref > 0 ? ours / ref : 0, target);
}

// A photo-like 4000 x 3000 picture: smooth shapes with fine texture, so the
// JPEG is as large as a camera's.
bool WritePhoto(const std::string& path, int seed) {
    const int w = 4000, h = 3000;
    std::vector<unsigned char> rgb(size_t(w) * h * 3);
    std::mt19937 rng{unsigned(seed)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* p = &rgb[(size_t(y) * w + x) * 3];
            const unsigned n = rng() & 31;
            p[0] = (unsigned char)((x * 255 / w + seed * 40 + n) & 255);
            p[1] = (unsigned char)((y * 255 / h + ((x / 97 + y / 89) % 3) * 40 + n) & 255);
            p[2] = (unsigned char)(((x + y) / 31 * 7 + n) & 255);
        }
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long len = 0;
    bool ok = tjCompress2(tj, rgb.data(), w, w * 3, h, TJPF_RGB, &out, &len, TJSAMP_420, 90, 0) == 0;
    if (ok) {
        FILE* f = std::fopen(path.c_str(), "wb");
        ok = f && std::fwrite(out, 1, len, f) == len;
        if (f) std::fclose(f);
    }
    tjFree(out);
    tjDestroy(tj);
    return ok;
}

void Pump() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    while (loop && loop->Pending()) loop->Dispatch();
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
}

// Starts the browser on the folder and returns the time until all nine
// thumbnails of the first page are drawn; *cpu gets the processor time.
double FirstPage(const std::string& folder, double* cpu = nullptr) {
    {
        CRegKey key;
        key.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Quorvel\\Application");
        key.WriteString("SnapPath", folder.c_str());
    }
    const auto t = Clock::now();
    const double cpu0 = CpuMs();
    double ms = -1;
    {
        lumora::CBrowser browser;
        if (!browser.Start()) return -1;
        auto* view = dynamic_cast<CLumoraView*>(browser.Manager()->GetCurrentView());
        while (view && view->Loading()) {
            Pump();
            usleep(200);
        }
        view->Canvas()->Update();
        ms = Ms(t);
        if (cpu) *cpu = CpuMs() - cpu0;
        for (int k = 0; k < 9; ++k)
            if (!view->Shown(k).drawn) std::printf("  cell %d not drawn\n", k);
        static bool told = false;
        if (!told) std::printf("thumbnails drawn at %d x %d\n", view->Shown(0).width, view->Shown(0).height);
        told = true;
        browser.Frame()->Close(true);
        Pump();
    }
    Pump();
    return ms;
}

double Vips(const std::string& folder, const std::string& out) {
    std::string cmd = "vipsthumbnail -s 200 -o '" + out + "/%s.png'";
    for (int i = 0; i < 9; ++i) cmd += " '" + folder + "/photo" + std::to_string(i) + ".jpg'";
    const auto t = Clock::now();
    if (std::system((cmd + " >/dev/null 2>&1").c_str()) != 0) return -1;
    return Ms(t);
}

void Thumbnails(const std::string& home) {
    const std::string folder = home + "/pics", out = home + "/vips";
    mkdir(folder.c_str(), 0700);
    mkdir(out.c_str(), 0700);
    for (int i = 0; i < 9; ++i)
        if (!WritePhoto(folder + "/photo" + std::to_string(i) + ".jpg", i)) return;
    // BENCH_LUMORA_WARM=n: only warm runs, n of them, for a profiler.
    if (const char* n = std::getenv("BENCH_LUMORA_WARM")) {
        FirstPage(folder);
        double cpu = 0, sum = 0;
        for (int r = 0; r < std::atoi(n); ++r) {
            double one = 0;
            FirstPage(folder, &one);
            sum += one;
            cpu = r == 0 ? one : std::min(cpu, one);
        }
        std::printf("warm only: processor time best %.1f ms, mean %.1f ms\n", cpu, sum / std::max(1, std::atoi(n)));
        return;
    }
    // Best of three each, alternating, the cache emptied before every cold run.
    double cold = 1e30, warm = 1e30, ref = 1e30, warmCpu = 1e30;
    for (int r = 0; r < 3; ++r) {
        std::system(("rm -rf '" + home + "/cache/thumbnails'").c_str());
        cold = std::min(cold, FirstPage(folder));
        double cpu = 0;
        warm = std::min(warm, FirstPage(folder, &cpu));
        warmCpu = std::min(warmCpu, cpu);
        ref = std::min(ref, Vips(folder, out));
    }
    Ratio("first page, 9 x 4000x3000 JPEG, cold", cold, ref, "<= 0.50 of vipsthumbnail -s 200");
    std::printf("%-44s ours %9.1f ms   (target < 30 ms; ratio to vipsthumbnail %.3f)\n",
                "first page, 9 x 4000x3000 JPEG, warm", warm, warm / ref);
    std::printf("%-44s ours %9.1f ms of processor time, all threads\n", "first page, warm, processor", warmCpu);
}

void Refresh(const std::string& home) {
    const std::string folder = home + "/many";
    mkdir(folder.c_str(), 0700);
    std::vector<int> order(100000);
    for (int i = 0; i < 100000; ++i) order[size_t(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (int i : order) {
        char name[64];
        std::snprintf(name, sizeof name, "%s/IMG_%06d.%s", folder.c_str(), i, i % 3 ? "jpg" : "JPG");
        const int fd = open(name, O_CREAT | O_WRONLY, 0600);
        if (fd >= 0) close(fd);
    }
    double ours = 1e30, ref = 1e30;
    const std::string py = "python3 -c \"import os,sys,time\nt=time.perf_counter()\n"
                           "n=sorted(e.name for e in os.scandir(sys.argv[1]))\n"
                           "print((time.perf_counter()-t)*1000)\" '" + folder + "'";
    for (int r = 0; r < 5; ++r) {
        lumora::CImageList list;
        list.SetSortMode(lumora::kSortByName);
        const auto t = Clock::now();
        list.Refresh(folder);
        ours = std::min(ours, Ms(t));
        if (list.Count() != 100000) std::printf("  listed %zu\n", list.Count());
        FILE* p = popen(py.c_str(), "r");
        double ms = 0;
        if (p && std::fscanf(p, "%lf", &ms) == 1) ref = std::min(ref, ms);
        if (p) pclose(p);
    }
    Ratio("Refresh by name, 100000 files", ours, ref, "< 300 ms");
}

}  // namespace

int main(int argc, char** argv) {
    char tmpl[] = "/tmp/bench-lumora-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string home = tmpl;
    for (const char* sub : {"/config", "/cache", "/data", "/state", "/run"}) mkdir((home + sub).c_str(), 0700);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("XDG_STATE_HOME", (home + "/state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) return 2;
    wxTheApp->CallOnInit();
    wxInitAllImageHandlers();
    {
        wxEventLoop loop;
        wxEventLoopActivator active(&loop);
        Thumbnails(home);
        if (!std::getenv("BENCH_LUMORA_WARM")) Refresh(home);
    }
    wxEntryCleanup();
    std::system(("rm -rf '" + home + "'").c_str());
    return 0;
}
