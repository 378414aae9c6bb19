// The round skinned control panel: a borderless tool window with the viewer's
// picture buttons and a green 14-character text display. Every button click is
// passed on unchanged to the main window as a wxEVT_MENU command.
#pragma once

#include <map>

#include <wx/frame.h>

#include "orvane/ui/BmpButton.h"
#include "orvane/ui/Placement.h"

class ViewerHost;

class CControlDlg : public wxFrame {
public:
    static constexpr size_t kMaxDisplayText = 14;
    static constexpr int kDisplayLeft = 80, kDisplayTop = 90, kDisplayRight = 240,
                         kDisplayBottom = 110;

    explicit CControlDlg(ViewerHost& host);
    // Showing keeps the panel where it was placed (see PlacementKeeper).
    bool Show(bool show = true) override;

    // Stores the text when it has at most 14 characters; longer texts are ignored.
    // From another thread the text is stored on the user-interface thread.
    void SetDisplayText(const wxString& text);
    const wxString& GetDisplayText() const { return m_text; }

    // The button with this command id, or null.
    CBmpButton* GetButton(int id);

private:
    void CreateButtons();
    void OnButton(wxCommandEvent& e);
    void OnPaint(wxPaintEvent&);
    void OnLeftDown(wxMouseEvent& e);
    void OnMotion(wxMouseEvent& e);
    void OnLeftUp(wxMouseEvent& e);
    void OnMove(wxMoveEvent& e);

    ViewerHost& m_host;
    wxBitmap m_background;
    std::map<int, CBmpButton*> m_buttons;
    wxString m_text;
    wxPoint m_dragOffset{-1, -1};
    PlacementKeeper m_keeper{this};
};
