// CConfigSet: the modal "System Settings" dialog (command 1002). A tabbed
// sheet with the pages video, advanced, recording format and recording
// schedule, in that order. A page's window is created when its tab is first
// shown, and the closing steps act only on pages that exist. OK validates and
// stores page by page; Cancel takes back what the video page applied live and
// reloads the schedule.
#pragma once
#include <atomic>
#include <functional>

#include <wx/dialog.h>
#include <wx/string.h>

class ViewerHost;
class wxNotebook;
class wxPanel;
class CVideoSet;
class CConfigDlg;
class CRecMode;
class CTiming;

class CConfigSet : public wxDialog {
public:
    enum Page { kVideo, kAdvanced, kRecording, kSchedule, kPageCount };

    // Clears *remoteFlag (when given) so no remote key is polled while the
    // dialog exists; the main window sets it again afterwards.
    CConfigSet(wxWindow* parent, ViewerHost& host, std::atomic<int>* remoteFlag = nullptr);

    // The pages, null while their tab has not been shown.
    CVideoSet* VideoPage() const { return m_video; }
    CConfigDlg* AdvancedPage() const { return m_advanced; }
    CRecMode* RecPage() const { return m_rec; }
    CTiming* TimingPage() const { return m_timing; }
    ViewerHost& Host() { return m_host; }
    wxNotebook* Sheet() const { return m_sheet; }

    // Shows a tab as a click on it would, creating its page.
    void ShowPage(Page page);

    // The OK steps; false when a page kept the dialog open.
    bool ApplyOk();
    // The Cancel steps.
    void ApplyCancel();

    // Message boxes of the dialog and its pages; tests answer them through
    // COrvaneDlg::MessageBoxHook().
    static int Ask(wxWindow* parent, const wxString& text, const wxString& caption, long style);

private:
    void CreatePage(int page);
    void OnOk();
    void OnCancel();
    void Finish(int code);

    ViewerHost& m_host;
    wxNotebook* m_sheet = nullptr;
    wxPanel* m_holders[kPageCount] = {};
    CVideoSet* m_video = nullptr;
    CConfigDlg* m_advanced = nullptr;
    CRecMode* m_rec = nullptr;
    CTiming* m_timing = nullptr;
};
