// The numeric channel keypad docked to the control panel: digits select a
// channel by number in one- or two-digit entry, a key switches the entry mode,
// one the sound source, one hides the keypad.
#pragma once

#include <map>

#include <wx/frame.h>
#include <wx/timer.h>

#include "orvane/ui/BmpButton.h"

class ViewerHost;

class CTVControl : public wxFrame {
public:
    static constexpr int kLapseMs = 3000;

    CTVControl(wxWindow* owner, ViewerHost& host);

    // Holds the line input, then handles key n (0..9 digits, 10 one/two-digit
    // switch, 11 sound source) exactly as a click.
    void PressKey(int n);
    // Selects channel `number` of the active table and ends any digit entry.
    void SelectChannel(int number);
    // Moves the keypad to its docked place beside the control panel.
    void DockToPanel();
    // Handles one key command (ids 1044..1055 and 2).
    void HandleCommand(int id);

    int PendingNumber() const { return m_pending; }
    bool LapseRunning() const { return m_lapse.IsRunning(); }
    // The two-digit lapse: an unfinished entry ends.
    void OnLapse();
    CBmpButton* GetButton(int id);

private:
    void Digit(int d);
    void ToggleDigitMode();
    void ToggleSoundSource();
    void ShowPanelIndicator(int id, bool show);
    void ShowOsdNumber(const wxString& text);
    void OnButton(wxCommandEvent& e);
    void OnPaint(wxPaintEvent&);
    void OnLeftDown(wxMouseEvent& e);
    void OnMotion(wxMouseEvent& e);
    void OnLeftUp(wxMouseEvent& e);

    ViewerHost& m_host;
    wxBitmap m_background;
    std::map<int, CBmpButton*> m_buttons;
    wxTimer m_lapse;
    int m_pending = 0;
    wxPoint m_dragOffset{-1, -1};
};
