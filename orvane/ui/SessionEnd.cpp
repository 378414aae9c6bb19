// A signal runs the same final close as "Exit Tellura", on the user-interface
// thread (GLib dispatches it from the main loop, also inside a nested one).
// A lost X connection can no longer close windows: it saves the settings,
// finishes a recording and ends the process.
#include "orvane/ui/SessionEnd.h"

#include <glib-unix.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "orvane/core/Settings.h"
#include "orvane/ui/OrvaneDlg.h"
#include "strova/Strova.h"

// Last: its macros clash with the names above.
#include <X11/Xlib.h>

namespace {

std::atomic<bool> g_requested{false};

gboolean OnEndSignal(gpointer) {
    g_requested = true;
    if (auto* dlg = static_cast<COrvaneDlg*>(orvane::Rt().mainWindow)) dlg->EndSession();
    return G_SOURCE_CONTINUE;
}

// Xlib calls this from whichever thread found the connection gone, and exits
// when it returns. The first caller does the work; later ones wait for it.
int OnDisplayLost(Display*) {
    static std::atomic<bool> first{true};
    if (!first.exchange(false)) {
        for (;;) pause();
    }
    // Whatever hangs on the dead display, the process ends within seconds.
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::seconds(5));
        _exit(0);
    }).detach();
    orvane::RunTime& rt = orvane::Rt();
    if (!rt.secondInstance && rt.deviceIndex >= 0) {
        orvane::SaveSettings();
        int recording = 0;
        Strova_IsCapturing(rt.deviceIndex, &recording);
        if (recording) Strova_StopCapture(rt.deviceIndex);
    }
    _exit(0);
}

}  // namespace

void InstallSessionEndHandlers() {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) g_unix_signal_add(sig, OnEndSignal, nullptr);
    XSetIOErrorHandler(OnDisplayLost);
}

bool SessionEndRequested() { return g_requested; }
