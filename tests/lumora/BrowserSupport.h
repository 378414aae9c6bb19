// Helpers for the browser's window tests: the wx loop, picture files and a
// browser started in this process with its shared settings.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "WxTestLoop.h"
#include "lumora/LumoraApp.h"
#include "lumora/LumoraView.h"
#include "support/TestEnv.h"


// A w x h JPEG of a colour gradient, written by TurboJPEG.
void WriteJpeg(const std::string& path, int w, int h, int quality = 90);

// A browser over its own home: "SnapPath" and "ExeName" seeded, started,
// pages loaded before it is handed over.
class TestBrowser {
public:
    explicit TestBrowser(const std::string& folder, const std::string& viewerTitle = "");
    ~TestBrowser();
    CLumoraView* View() const;
    // Runs a command the way its menu item or toolbar button does.
    void Command(int command);
    // A key as it reaches the frame; modifiers are wxMOD_* values.
    void Key(int keyCode);
    // The canvas's client area becomes w x h.
    void ResizeClient(int w, int h);
    bool WaitLoaded();
    lumora::CBrowser browser;
};

// A folder under the home with `count` small JPEG files img100.jpg, ...
std::string NumberedFolder(const tellura::test::ScopedHome& home, int count);
