#include "orvane/ui/Placement.h"

#include <gtk/gtk.h>

#include <wx/window.h>

PlacementKeeper::PlacementKeeper(wxWindow* window) : m_window(window) {
    window->Bind(wxEVT_MOVE, [this](wxMoveEvent& e) {
        e.Skip();
        OnMoved(m_window->GetPosition());
    });
}

void PlacementKeeper::Arm() {
    m_want = m_window->GetPosition();
    m_armed = true;
}

void PlacementKeeper::OnMoved(const wxPoint& now) {
    if (!m_armed || !m_window->IsShown()) return;
    m_armed = false;
    if (now != m_want) MoveTopLevel(m_window, m_want);
}

void MoveTopLevel(wxWindow* window, const wxPoint& at) {
    GtkWidget* widget = window->GetHandle();
    if (widget && GTK_IS_WINDOW(widget)) gtk_window_move(GTK_WINDOW(widget), at.x, at.y);
}
