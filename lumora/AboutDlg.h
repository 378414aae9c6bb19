// The browser's About box (template 100): the program icon, its name and
// version, and OK.
#pragma once

#include <wx/dialog.h>

class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow* parent);
};
