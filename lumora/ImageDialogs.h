// The image commands' small dialogs and the browser's message boxes.
// CImgrn asks for a file's new name; CDImgTimer asks for the slide show's
// delay and refuses text that is not an integer from 100 to 30000.
#pragma once
#include <functional>
#include <string>

#include <wx/dialog.h>

class wxTextCtrl;

namespace lumora {

// A message box with the browser's caption; returns wxYES, wxNO, wxOK or
// wxCANCEL. Tests answer through the hook.
using AskFn = std::function<int(const wxString& text, long style)>;
AskFn& MessageBoxHook();
int Ask(const wxString& text, long style = wxOK);

}  // namespace lumora

class CImgrn : public wxDialog {
public:
    CImgrn(wxWindow* parent, const wxString& name);
    std::string Name() const;

private:
    wxTextCtrl* edit_;
};

class CDImgTimer : public wxDialog {
public:
    static constexpr int kMin = 100, kMax = 30000;
    // The edit always starts at 1000, whatever the delay is now.
    explicit CDImgTimer(wxWindow* parent);
    bool TransferDataFromWindow() override;
    int Delay() const { return delay_; }

private:
    wxTextCtrl* edit_;
    int delay_ = 1000;
};
