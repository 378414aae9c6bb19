// The on-screen display over the live picture: large green figures at the top
// right, a one-line text or a labelled level bar near the bottom left. It hides
// itself after a few seconds.
#pragma once

#include <wx/frame.h>
#include <wx/timer.h>

#include <vector>

class ViewerHost;

// Geometry of the display from the main window's screen rectangle and client size.
namespace osd {
struct Offsets { int x, y; };
Offsets BottomLeftOffsets(int clientW, int clientH);
wxRect NumberRect(const wxRect& screen, size_t chars);
wxRect TextRect(const wxRect& screen, Offsets o, size_t chars);
wxRect BarRect(const wxRect& screen, Offsets o, int clientW);
// Number of bar marks for a client width (0 or less: label only).
int BarMarks(int clientW);
// The key colour behind the text for the card model and "usesnapcap".
wxColour KeyColour(int cardModel, bool useSnapCap);
}  // namespace osd

class CDispDlg : public wxFrame {
public:
    static constexpr int kTickMs = 1000;
    static constexpr int kHideAfter = 3;   // hides when the tick count exceeds this

    CDispDlg(wxWindow* owner, ViewerHost& host);

    // May be called from any thread; work is done on the user-interface thread.
    void ShowNumber(const wxString& text);
    void ShowText(const wxString& text);
    // A hint kept up until ClearMessage or another display replaces it,
    // wrapped to lines that fit inside the picture.
    void ShowMessage(const wxString& text);
    void ClearMessage();
    bool IsMessageShown() const { return m_sticky && m_showing; }
    void ShowBar(const wxString& label, int value, int maximum);
    // Follows the main window; with show false only hides the display.
    void Reposition(wxWindow* mainWindow, bool show);

    // One tick of the hide timer.
    void Tick();

    bool IsNumberMode() const { return m_numberMode; }
    bool IsTextMode() const { return m_textMode; }
    bool IsShowing() const { return m_showing; }
    int TickCount() const { return m_tick; }
    int Level() const { return m_level; }
    int Range() const { return m_range; }
    const wxString& Text() const { return m_text; }
    // The two lines the bar mode draws: all marks dim, then the lit part.
    wxString BarLine(bool lit) const;

private:
    void ShowNumberNow(const wxString& text);
    void ShowTextNow(const wxString& text);
    void ShowBarNow(const wxString& label, int value, int maximum);
    void Present(bool raiseAlways);
    void PlaceForMode();
    void PlaceMessage(const wxRect& screen, const wxSize& client);
    wxRect MainScreenRect(wxSize* client) const;
    void OnPaint(wxPaintEvent&);
    void OnLeftDown(wxMouseEvent& e);
    void OnMotion(wxMouseEvent& e);

    ViewerHost& m_host;
    wxTimer m_timer;
    bool m_numberMode = true;
    bool m_showing = false;
    bool m_textMode = false;
    bool m_sticky = false;             // a hint: no time-out
    std::vector<wxString> m_lines;     // the hint's wrapped lines
    int m_tick = 0;
    osd::Offsets m_offsets{10, 10};
    int m_range = 1;
    int m_level = 1;
    wxString m_text = "10";
    wxString m_line;
    wxPoint m_lastDrag{-1, -1};
};
