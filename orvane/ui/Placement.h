// Keeps a top-level window where the program put it, whatever order the
// window manager answers in.
//
// wx believes the position the last ConfigureNotify reported, and that can be
// wrong for good: a window manager answers a queue of requests one by one, so
// an answer read after a newer request describes an older place, and while it
// takes a new window into its frame the window sits at the frame's first
// place (0, 0) for a moment without any later notice when the frame moves.
// The keeper therefore reads the window's place from the X server after each
// answer (configure, map, property and state events) once the toolkit has
// handled it, corrects wx's belief, and re-asks for a held rectangle until
// the screen shows it (a few times at most: a window manager may insist).
#pragma once

#include <glib.h>

#include <wx/gdicmn.h>

class wxWindow;

class PlacementKeeper {
public:
    explicit PlacementKeeper(wxWindow* window);
    ~PlacementKeeper();
    PlacementKeeper(const PlacementKeeper&) = delete;
    PlacementKeeper& operator=(const PlacementKeeper&) = delete;

    // Call before showing the window: its current position is the one kept.
    void Arm();
    // Asks for the rectangle and keeps asking until the screen shows it.
    void Hold(const wxRect& r);
    // The user moves or sizes the window: nothing is kept any more.
    void Disarm() { m_holding = false; }
    bool Holding() const { return m_holding; }
    // Where the window is meant to be: the rectangle held, else where the
    // screen shows it, else (not shown) where wx has it.
    wxRect Intended() const;

private:
    static gboolean OnAnswer(void* widget, void* event, gpointer self);
    static gboolean OnIdle(gpointer self);
    void Settle();
    void Ask(const wxRect& r, bool again);

    wxWindow* m_window;
    wxRect m_want;
    bool m_holding = false;
    bool m_wholeRect = false;  // the size is held too, not only the position
    int m_asksLeft = 0;
    guint m_idle = 0;
};

// The window's rectangle on the screen as the X server has it now; false
// while it is not shown (hidden, minimised) or not on X11.
bool ScreenRectOf(wxWindow* window, wxRect* rect);
