// Helpers for the viewer tests: the wx loop, the viewer's start-up and
// shutdown in this process, screen pixels and child processes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/string.h>

#include "orvane/core/Settings.h"
#include "WxTestLoop.h"
#include "support/TestEnv.h"

class COrvaneDlg;

// Runs pending events for about `ms` milliseconds.

// Writes a complete settings key: defaults changed by `seed`.
void SeedSettings(const std::function<void(orvane::RunTime&)>& seed);
// The virtual card's device name (the last listed device).
std::string VirtualCardName();
// A channel table holding the virtual card's first stations as a scan
// stores them, with the tuner input selected.
void SeedStations(orvane::RunTime& rt, int count);

// The viewer up to its running main window, in this process.
class InProcessViewer {
public:
    explicit InProcessViewer(const std::function<void(orvane::RunTime&)>& seed = nullptr);
    // A first start: nothing stored; `answers` answers the questions from the start.
    explicit InProcessViewer(std::function<int(const wxString&)> answers);
    ~InProcessViewer();  // final close, settings saved, library down
    COrvaneDlg* dlg = nullptr;
    std::vector<wxString> asked;  // message box texts in order
    std::function<int(const wxString&)> answer;  // default: Yes/OK

private:
    void InstallHook();
    void Start();
};

// RGB samples of a screen rectangle (every `step` pixels).
std::vector<unsigned> GrabScreen(int x, int y, int w, int h, int step = 4);
// Mean absolute difference of neighbouring samples: high for snow.
double Roughness(const std::vector<unsigned>& px, int columns);
size_t DistinctColours(const std::vector<unsigned>& px);
// Whether an X window with this exact name, made by process pid, is mapped
// (0), exists unmapped (1) or is not there (-1).
int XWindowState(const std::string& title, int pid);

// What a task bar sends to bring the X window xid back (_NET_ACTIVE_WINDOW).
void RequestActivate(unsigned long xid);

// Starts a program with the current environment, its error output into the
// file `errors` when one is named; returns its pid or -1.
int Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& errors = "");
// Waits up to ms for the child; its exit status, or -1 while it still runs.
int WaitExit(int pid, int ms);
void KillChild(int pid);
