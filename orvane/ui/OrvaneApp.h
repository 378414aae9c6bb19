// The viewer program: loads the settings, makes sure only one viewer runs,
// shows the splash picture, brings up the capture library and the chosen
// device, runs the main window and, on the way out, saves the settings once
// and shuts the library down.
#pragma once

#include <string>
#include <vector>

#include <wx/app.h>

class COrvaneDlg;

class COrvaneApp : public wxApp {
public:
    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;

    // The start-up sequence; always false (the program ends after the main
    // window's loop).
    bool InitInstance();
    // Saves the settings and shuts the library down, except for a second
    // instance.
    int ExitInstance();

    // Steps up to the main window: settings, single-instance test, splash,
    // library, device choice and connection, folders, numbering. False when
    // the program is to end.
    static bool PrepareStart(bool withSplash);
    // The main window's whole run: created, initialised, run, taken down.
    static void RunMainWindow();

    struct Device {
        std::string name;
        int index;
    };
    // The first device whose name equals `stored` ignoring case, else the
    // first device; -1 for an empty list.
    static int ChooseDevice(const std::vector<Device>& devices, const char* stored);
    // File numbering of today's snapshots and recordings in the folders.
    static void ComputeFileNumbers();
};

