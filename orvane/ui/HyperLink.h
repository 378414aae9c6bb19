// A text control that behaves like a web link: coloured, underlined while the
// pointer is over it, a hand cursor, its target as tooltip, and a click that
// opens the target with the desktop's opener (xdg-open). The link counts as
// visited only once the opener reports success.
#pragma once

#include <functional>
#include <memory>

#include <wx/timer.h>
#include <wx/window.h>

// The message for an opener result of 32 or less.
wxString HyperlinkErrorText(int result);

class CHyperLink : public wxWindow {
public:
    enum Underline { kUnderlineHover = -1, kUnderlineNever = 0, kUnderlineAlways = 1 };
    // Opens a target and calls done, on the UI thread, with a value above 32 on
    // success, else an error code for HyperlinkErrorText.
    using Done = std::function<void(int result)>;
    using Opener = std::function<void(const wxString& target, Done done)>;

    CHyperLink(wxWindow* parent, int id, const wxString& text, const wxPoint& pos = wxDefaultPosition,
               const wxString& target = wxString());
    ~CHyperLink() override;

    void SetTarget(const wxString& target);
    const wxString& GetTarget() const { return m_target; }
    void SetVisited(bool visited);
    bool IsVisited() const { return m_visited; }
    void SetUnderline(int mode);
    bool IsOver() const { return m_over; }
    bool IsUnderlined() const { return m_underlined; }
    wxColour CurrentColour() const;

    // Opens the target; when that fails, beeps and reports the error.
    void Click();
    // The opener's answer for a click.
    void Opened(int result);
    // The hover check the timer makes every 100 ms.
    void CheckHover(const wxPoint& screenPointer);
    // Replaces the opener (tests use a recorder instead of xdg-open).
    static void SetOpener(Opener opener);

    static const wxColour kLink, kVisited, kHover;

private:
    void FitToText();
    void SelectFont(bool underlined);
    void OnPaint(wxPaintEvent&);
    void OnMotion(wxMouseEvent&);

    wxString m_target;
    bool m_over = false;
    bool m_visited = false;
    bool m_underlined = false;
    int m_underline = kUnderlineHover;
    wxTimer m_hoverTimer;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);  // read by pending opens
};
