// A picture button with four bitmaps (hover, normal, pressed, disabled) that
// can act as a two-state toggle. A click sends wxEVT_BUTTON with the button's
// id to its parent.
#pragma once

#include <wx/bitmap.h>
#include <wx/window.h>

class CBmpButton : public wxWindow {
public:
    enum State { kHover = 0, kNormal = 1, kPressed = 2, kDisabled = 3 };

    // `command` is the id clicks are sent with (window ids cannot hold the
    // viewer's command ids above 32767).
    CBmpButton(wxWindow* parent, int command, const wxPoint& pos);
    int CommandId() const { return m_command; }

    // Loads the four bitmaps by resource id and sizes the button to the hover
    // bitmap. False when an id is 0 or a bitmap cannot be loaded.
    bool LoadBitmaps(int hover, int normal, int pressed, int disabled);
    void SetToggle(bool enable);
    void SetToggled(bool state);
    bool IsToggle() const { return m_toggle; }
    bool IsToggled() const { return m_toggled; }
    int DisplayState() const { return m_state; }

    // The parent's background, drawn behind the button's transparent parts.
    void SetBackdrop(const wxBitmap* backdrop) { m_backdrop = backdrop; }
    // Forward clicks to the parent (indicators do not).
    void SetForwardClicks(bool forward) { m_forward = forward; }

    bool Enable(bool enable = true) override;
    bool AcceptsFocus() const override { return false; }

    // The flags shared by every button of the viewer.
    static bool HeldDown() { return s_heldDown; }
    static void ResetSharedFlags() { s_heldDown = s_togglePending = false; }

private:
    void SetState(int s);
    void Redraw();
    void OnPaint(wxPaintEvent&);
    void OnMotion(wxMouseEvent&);
    void OnLeave(wxMouseEvent&);
    void OnLeftDown(wxMouseEvent&);
    void OnLeftUp(wxMouseEvent&);
    void OnCaptureLost(wxMouseCaptureLostEvent&);
    void OnKillFocus(wxFocusEvent&);

    wxBitmap m_bitmaps[4];
    const wxBitmap* m_backdrop = nullptr;
    int m_command;
    int m_state = -1;
    bool m_toggle = false;
    bool m_toggled = false;
    bool m_selected = false;   // held down on this button
    bool m_forward = true;

    static bool s_heldDown;
    static bool s_togglePending;
};
