// bench-viewer: the viewer as a user starts it, on the virtual card, in a
// private home. Measured from outside, on the screen:
//   - start of the program to the first live picture in its window (splash
//     included),
//   - a channel step (command 1037 sent to its window) to the new station's
//     picture,
//   - CPU seconds per second while full screen,
// each beside a plain gst-launch-1.0 pipeline of the preview's shape (live
// 720 x 576 source scaled to 640 x 480, into the same kind of video sink)
// run in the same run; for full screen that pipeline also scales the picture
// to the whole screen, as the viewer's sink does. Run under an X server, e.g.
//   xvfb-run -s "-screen 0 1280x1024x24" bench-viewer [--runs N] [--seconds S]
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "orvane/core/Settings.h"
#include "platform/Window.h"
#include "strova/Strova.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kVideoX = 5, kVideoY = 5, kVideoW = 640, kVideoH = 480;
// The splash is centred on the screen: the start-up watch looks only at the
// part of the picture it can never cover.
constexpr int kWatchW = 400, kWatchH = 360;
constexpr unsigned kCommand = 0x0111;
constexpr int kChannelUp = 1037, kFullScreen = 32778, kExit = 32799;

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

double Median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<unsigned> Grab(Display* d, int x, int y, int w, int h) {
    std::vector<unsigned> px;
    XImage* img = XGetImage(d, DefaultRootWindow(d), x, y, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    if (!img) return px;
    for (int j = 0; j < h; j += 12)
        for (int i = 0; i < w; i += 12) px.push_back(unsigned(XGetPixel(img, i, j)) & 0xFFFFFFu);
    XDestroyImage(img);
    return px;
}

bool Colourful(const std::vector<unsigned>& px) { return std::set<unsigned>(px.begin(), px.end()).size() > 8; }

double ChangedShare(const std::vector<unsigned>& a, const std::vector<unsigned>& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return double(n) / double(a.size());
}

// Seconds until the screen area shows a picture, or -1 after 15 s.
double WaitPicture(Display* d, Clock::time_point start, int x, int y) {
    while (Since(start) < 15) {
        if (Colourful(Grab(d, x, y, kWatchW, kWatchH))) return Since(start);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    return -1;
}

pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// User plus system CPU seconds of a running process.
double ProcessCpu(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long long ut = 0, st = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) ut = std::stoull(field);
        if (i == 15) st = std::stoull(field);
    }
    return double(ut + st) / double(sysconf(_SC_CLK_TCK));
}

double CpuPerSecond(pid_t pid, double seconds) {
    const double c0 = ProcessCpu(pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return (ProcessCpu(pid) - c0) / Since(t0);
}

std::string PlainSink(Display* d) {
    int op, ev, err;
    return XQueryExtension(d, "GLX", &op, &ev, &err) ? "glimagesink" : "ximagesink";
}

std::vector<std::string> PlainPipeline(const std::string& sink) {
    return {"gst-launch-1.0", "-q", "videotestsrc", "is-live=true", "pattern=smpte", "!",
            "video/x-raw,format=I420,width=720,height=576,framerate=25/1", "!", "videoconvert", "!",
            "videoscale", "!", "video/x-raw,format=YUY2,width=640,height=480", "!", "queue", "!",
            "videoconvert", "!", sink};
}

// The same preview scaled to the whole screen, as the viewer's full screen
// does it: the sink scales on the GPU path (glimagesink into a screen-sized
// window), or videoscale does it in front of ximagesink.
std::vector<std::string> FullScreenPipeline(const std::string& sink, int w, int h) {
    std::vector<std::string> p = PlainPipeline(sink);
    p.pop_back();
    const std::string size = ",width=" + std::to_string(w) + ",height=" + std::to_string(h);
    if (sink == "glimagesink") {
        for (const char* e : {"glupload", "!", "glcolorconvert", "!", "glcolorscale", "!"}) p.push_back(e);
        p.push_back("video/x-raw(memory:GLMemory)" + size);
    } else {
        for (const char* e : {"videoscale", "!"}) p.push_back(e);
        p.push_back("video/x-raw" + size);
    }
    p.push_back("!");
    p.push_back(sink);
    return p;
}

// A private home holding the viewer's settings: the virtual card's stations,
// the tuner input, the window where the bench looks.
bool MakeHome() {
    char dir[] = "/tmp/bench-viewer-XXXXXX";
    if (!mkdtemp(dir)) return false;
    const std::string root = dir;
    for (const char* sub : {"/config", "/data", "/state", "/run", "/tmp", "/cache"})
        if (mkdir((root + sub).c_str(), 0700) != 0) return false;
    setenv("HOME", dir, 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
    setenv("TMPDIR", (root + "/tmp").c_str(), 1);
    orvane::LoadSettings();
    orvane::RunTime& rt = orvane::Rt();
    char names[STROVA_MAX_CARDS * STROVA_NAME_LEN] = {};
    int count = STROVA_MAX_CARDS;
    if (Strova_Initialize() < 0 || Strova_EnumVideoCaptureDev(names, &count) < 0 || count <= 0) return false;
    orvane::CopyField(rt.deviceName, &names[(count - 1) * STROVA_NAME_LEN]);  // the virtual card
    Strova_Uninitialize();
    rt.xToolWnd = 700, rt.yToolWnd = 600;  // the panel away from the picture
    static const int kStations[] = {55250, 189250, 210250, 487250, 583250, 743250};
    for (int i = 0; i < 6; ++i) {
        orvane::CopyField(rt.channels[i].name, "TVChannal");
        rt.channels[i].freq = kStations[i];
    }
    rt.totalTv = 6;
    rt.curTune = 0;
    rt.vidSource = 1;
    rt.lMainWnd = kVideoX - 5, rt.tMainWnd = kVideoY - 5;
    rt.rMainWnd = kVideoX + kVideoW + 5, rt.bMainWnd = kVideoY + kVideoH + 5;
    rt.isFixed43 = 0;
    orvane::SaveSettings();
    return true;
}

struct ViewerRun {
    pid_t pid = -1;
    plat::HWND window = nullptr;
    double firstPicture = -1;
};

ViewerRun StartViewer(Display* d, const std::string& program) {
    ViewerRun run;
    const auto start = Clock::now();
    run.pid = Spawn({program});
    if (run.pid <= 0) return run;
    run.firstPicture = WaitPicture(d, start, kVideoX, kVideoY);
    const std::string title = orvane::Rt().deviceName;
    for (int i = 0; i < 200 && !run.window; ++i) {
        run.window = plat::FindWindowA(nullptr, title.c_str());
        if (!run.window) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return run;
}

void EndViewer(ViewerRun& run) {
    if (run.window) plat::SendMessage(run.window, kCommand, kExit, 0);
    for (int i = 0; i < 250; ++i) {
        if (waitpid(run.pid, nullptr, WNOHANG) == run.pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Stop(run.pid);
}

// One channel step: seconds until a quarter of the picture has changed (the
// stations differ in their lower half).
double ChannelStep(Display* d, plat::HWND window) {
    const std::vector<unsigned> before = Grab(d, kVideoX, kVideoY, kVideoW, kVideoH);
    const auto start = Clock::now();
    plat::SendMessage(window, kCommand, kChannelUp, 0);
    while (Since(start) < 5) {
        if (ChangedShare(before, Grab(d, kVideoX, kVideoY, kVideoW, kVideoH)) > 0.25) return Since(start);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return -1;
}

void Row(const char* what, double ours, double plain, const char* unit) {
    std::printf("%-38s viewer %9.3f %-4s  gst-launch %9.3f %-4s  ratio %.2f\n", what, ours, unit, plain, unit,
                plain > 0 ? ours / plain : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    double seconds = 5;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atof(argv[++i]);
    }
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // a grab off screen just fails
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "bench-viewer needs an X display (DISPLAY)\n");
        return 1;
    }
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 1;
    std::string program = self;
    program = program.substr(0, program.rfind('/') + 1) + "orvane";
    if (!MakeHome()) return 1;
    const std::string sink = PlainSink(d);
    std::printf("reference sink: %s, %d runs, %.0f s of CPU each\n", sink.c_str(), runs, seconds);

    // The plain pipeline draws its own window at the screen's corner.
    std::vector<double> plainFirst;
    for (int r = 0; r < runs; ++r) {
        const auto start = Clock::now();
        const pid_t pid = Spawn(PlainPipeline(sink));
        plainFirst.push_back(WaitPicture(d, start, 0, 0));
        Stop(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const int screenW = DisplayWidth(d, DefaultScreen(d)), screenH = DisplayHeight(d, DefaultScreen(d));
    const pid_t full = Spawn(FullScreenPipeline(sink, screenW, screenH));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const double plainCpu = CpuPerSecond(full, seconds);
    Stop(full);

    std::vector<double> first, steps;
    double fullCpu = 0;
    for (int r = 0; r < runs; ++r) {
        ViewerRun run = StartViewer(d, program);
        first.push_back(run.firstPicture);
        if (run.window && run.firstPicture >= 0) {
            for (int s = 0; s < 3; ++s) {
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                steps.push_back(ChannelStep(d, run.window));
            }
            if (r == 0) {
                plat::SendMessage(run.window, kCommand, kFullScreen, 0);
                std::this_thread::sleep_for(std::chrono::milliseconds(800));
                fullCpu = CpuPerSecond(run.pid, seconds);
            }
        }
        EndViewer(run);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const double plainMedian = Median(plainFirst);
    Row("start to first picture (median)", Median(first) * 1000, plainMedian * 1000, "ms");
    Row("channel step to new picture (median)", Median(steps) * 1000, plainMedian * 1000, "ms");
    std::printf("%-38s (reference: the plain pipeline's first picture; target < 250 ms)\n", "");
    const std::string fullRow = "CPU per second, full screen " + std::to_string(screenW) + "x" + std::to_string(screenH);
    Row(fullRow.c_str(), fullCpu, plainCpu, "s/s");
    XCloseDisplay(d);
    return Median(first) < 0 ? 1 : 0;
}
