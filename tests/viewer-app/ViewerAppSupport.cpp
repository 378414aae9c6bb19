#include "ViewerAppSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <thread>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>

#include "orvane/ui/OrvaneApp.h"
#include "platform/Paths.h"
#include "orvane/ui/OrvaneDlg.h"
#include "strova/Strova.h"

// Last: the X11 headers define macros that clash with ordinary names.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

extern char** environ;

void SeedSettings(const std::function<void(orvane::RunTime&)>& seed) {
    orvane::LoadSettings();
    if (seed) seed(orvane::Rt());
    orvane::SaveSettings();
}

std::string VirtualCardName() {
    if (Strova_Initialize() < 0) return {};
    char names[STROVA_MAX_CARDS * STROVA_NAME_LEN] = {};
    int count = STROVA_MAX_CARDS;
    if (Strova_EnumVideoCaptureDev(names, &count) < 0 || count <= 0) return {};
    return std::string(&names[(count - 1) * STROVA_NAME_LEN]);
}

void SeedStations(orvane::RunTime& rt, int count) {
    static const int kStations[] = {55250, 189250, 210250, 487250, 583250, 743250};
    for (int i = 0; i < count && i < 6; ++i) {
        orvane::CopyField(rt.channels[i].name, "TVChannal");
        rt.channels[i].freq = kStations[i];
    }
    rt.totalTv = count;
    rt.curTune = 0;
    rt.vidSource = 1;  // the tuner input of the virtual card (model 1)
}

InProcessViewer::InProcessViewer(const std::function<void(orvane::RunTime&)>& seed) {
    InstallHook();
    const std::string card = VirtualCardName();
    SeedSettings([&](orvane::RunTime& rt) {
        orvane::CopyField(rt.deviceName, card);
        if (seed) seed(rt);
    });
    Start();
}

InProcessViewer::InProcessViewer(std::function<int(const wxString&)> answers) : answer(std::move(answers)) {
    InstallHook();
    Start();
}

void InProcessViewer::InstallHook() {
    COrvaneDlg::MessageBoxHook() = [this](const wxString& text, const wxString&, long style) {
        asked.push_back(text);
        if (answer) return answer(text);
        return (style & wxYES_NO) ? wxYES : wxOK;
    };
}

void InProcessViewer::Start() {
    if (!COrvaneApp::PrepareStart(false)) return;
    dlg = new COrvaneDlg;
    orvane::Rt().mainWindow = dlg;
    if (!dlg->OnInitDialog()) return;
    // Tests start from a running picture: on a loaded machine the first frame
    // can take seconds, and a snapshot before it fails as it should.
    const std::string probe = plat::TempDir() + "first-frame.bmp";
    PumpUntil([&] { return Strova_SaveToBmpFile(orvane::Rt().deviceIndex, probe.c_str()) == 1; }, 10000);
    std::remove(probe.c_str());
    Pump(100);
}

InProcessViewer::~InProcessViewer() {
    if (dlg) {
        dlg->JoinScan();
        if (!dlg->Ended()) dlg->FinalClose();
        delete dlg;
        Pump(20);
        orvane::SaveSettings();
    }
    SetTVSoundData(0, 0);
    Strova_Uninitialize();
    COrvaneDlg::MessageBoxHook() = nullptr;
}

std::vector<unsigned> GrabScreen(int x, int y, int w, int h, int step) {
    std::vector<unsigned> px;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return px;
    XImage* img = XGetImage(dpy, DefaultRootWindow(dpy), x, y, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    if (img) {
        for (int j = 0; j < h; j += step)
            for (int i = 0; i < w; i += step) px.push_back(unsigned(XGetPixel(img, i, j)) & 0xFFFFFFu);
        XDestroyImage(img);
    }
    XCloseDisplay(dpy);
    return px;
}

double Roughness(const std::vector<unsigned>& px, int columns) {
    if (px.size() < 2 || columns < 2) return 0;
    double sum = 0;
    size_t n = 0;
    for (size_t i = 1; i < px.size(); ++i) {
        if (i % size_t(columns) == 0) continue;
        const unsigned a = px[i - 1], b = px[i];
        sum += std::abs(int(a & 0xFF) - int(b & 0xFF)) + std::abs(int((a >> 8) & 0xFF) - int((b >> 8) & 0xFF)) +
               std::abs(int((a >> 16) & 0xFF) - int((b >> 16) & 0xFF));
        ++n;
    }
    return n ? sum / double(n) / 3.0 : 0;
}

size_t DistinctColours(const std::vector<unsigned>& px) { return std::set<unsigned>(px.begin(), px.end()).size(); }

namespace {

int WindowPid(Display* dpy, Window w) {
    const Atom prop = XInternAtom(dpy, "_NET_WM_PID", True);
    if (prop == 0) return -1;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    int pid = -1;
    if (XGetWindowProperty(dpy, w, prop, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) == Success &&
        data && n == 1 && format == 32)
        pid = int(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    return pid;
}

int FindNamed(Display* dpy, Window parent, const std::string& title, int pid) {
    Window root, par, *kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, parent, &root, &par, &kids, &n)) return -1;
    int state = -1;
    for (unsigned i = 0; i < n && state != 0; ++i) {
        char* name = nullptr;
        if (XFetchName(dpy, kids[i], &name) && name) {
            if (title == name && WindowPid(dpy, kids[i]) == pid) {
                XWindowAttributes a;
                if (XGetWindowAttributes(dpy, kids[i], &a)) state = a.map_state == IsViewable ? 0 : 1;
            }
            XFree(name);
        }
        if (state != 0) {
            const int below = FindNamed(dpy, kids[i], title, pid);
            if (below >= 0 && (state < 0 || below == 0)) state = below;
        }
    }
    if (kids) XFree(kids);
    return state;
}

}  // namespace

int XWindowState(const std::string& title, int pid) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return -1;
    const int state = FindNamed(dpy, DefaultRootWindow(dpy), title, pid);
    XCloseDisplay(dpy);
    return state;
}

void RequestActivate(unsigned long xid) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return;
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = xid;
    ev.xclient.message_type = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = 2;  // from a pager or task bar
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    XCloseDisplay(dpy);
}

int Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& errors) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!errors.empty())
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int WaitExit(int pid, int ms) {
    for (int waited = 0;; waited += 20) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0 || waited >= ms) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void KillChild(int pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

int main(int argc, char** argv) {
    // The tuner's settle time is read when the library loads: start again
    // with a short one so a whole band scan takes seconds.
    if (!std::getenv("STROVA_TEST_TUNER_SETTLE_MS")) {
        setenv("STROVA_TEST_TUNER_SETTLE_MS", "1", 1);
        execv("/proc/self/exe", argv);
    }
    // As in the program: Xlib is used from several threads (toolkit, video sink).
    XInitThreads();
    return RunWxTests(argc, argv);
}
