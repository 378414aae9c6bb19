// Keeps a top-level window where the program put it when it is shown: some
// window managers place a newly mapped window themselves when its position is
// (0, 0), or after it was hidden. Each show arms the check; when the window
// is mapped somewhere else, it is moved back once. The owner disarms it when
// the user starts to drag the window.
#pragma once

#include <wx/gdicmn.h>

class wxWindow;

class PlacementKeeper {
public:
    explicit PlacementKeeper(wxWindow* window);
    // Call before showing the window: its current position is the one kept.
    void Arm();
    void Disarm() { m_armed = false; }
    // The window was mapped at `now`.
    void OnMapped(const wxPoint& now);

private:
    wxWindow* m_window;
    wxPoint m_want;
    bool m_armed = false;
};

// Moves a top-level window on the screen even when the toolkit believes it
// is there already.
void MoveTopLevel(wxWindow* window, const wxPoint& at);
