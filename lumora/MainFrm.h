// CMainFrame: the browser's frame with menu 128, toolbar 128 (40 x 40 buttons
// with tooltips and status texts) and the keys its menus promise. No maximize
// button; the program shows it maximized.
#pragma once

#include <memory>

#include <wx/docview.h>

#include "common/HelpWindow.h"

class wxMenu;
class wxMenuBar;
class wxToolBar;

class CMainFrame : public wxDocParentFrame {
public:
    CMainFrame(wxDocManager* manager, const wxString& title);
    ~CMainFrame() override;

    // The frame views attach to (the last one made).
    static CMainFrame* Current();
    // Menu 128 and the pop-up "_IMGPOP" of menu 131, built in code.
    static wxMenuBar* MainMenu();
    static wxMenu* ImagePopup();

private:
    void CreateToolBar128();
    void OnCharHook(wxKeyEvent& e);
    void OnExitToVideo(wxCommandEvent& e);
    void OnAbout(wxCommandEvent& e);
    void OnUserManual(wxCommandEvent& e);

    std::unique_ptr<CHelpWindow> m_help;
};
