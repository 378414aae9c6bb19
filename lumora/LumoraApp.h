// The browser program: CBrowser does the start-up (shared settings, the
// viewer's window found by title, the document template, the frame shown
// maximized) and tells the viewer with message 0x901 when the frame closes.
// CLumoraApp is the wx application that runs one CBrowser.
#pragma once
#include <memory>
#include <string>

#include <wx/app.h>

#include "platform/Window.h"

class wxDocManager;
class CMainFrame;

namespace lumora {

struct BrowserSettings {
    std::string viewerTitle;  // "ExeName", empty when missing
    std::string startFolder;  // "SnapPath", else the Pictures folder
};
// Reads the values the viewer shares under "Software\Quorvel\Application".
BrowserSettings ReadBrowserSettings();

class CBrowser {
public:
    CBrowser();
    ~CBrowser();
    CBrowser(const CBrowser&) = delete;
    CBrowser& operator=(const CBrowser&) = delete;

    // False when the frame or the first document could not be made.
    bool Start();
    CMainFrame* Frame() const { return frame_; }
    wxDocManager* Manager() const { return manager_.get(); }
    plat::HWND Viewer() const { return viewer_; }
    const BrowserSettings& Settings() const { return settings_; }

private:
    void NotifyViewer();

    BrowserSettings settings_;
    plat::HWND viewer_ = nullptr;
    bool notified_ = false;
    std::unique_ptr<wxDocManager> manager_;
    CMainFrame* frame_ = nullptr;
};

}  // namespace lumora

class CLumoraApp : public wxApp {
public:
    bool OnInit() override;
    int OnExit() override;

private:
    std::unique_ptr<lumora::CBrowser> browser_;
};
