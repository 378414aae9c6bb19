#include "orvane/ui/Placement.h"

#include <gtk/gtk.h>

#include <wx/window.h>

namespace {

// Mapped means placed: the window manager has answered the map request.
gboolean OnMapEvent(GtkWidget* widget, GdkEvent*, gpointer keeper) {
    GdkWindow* gw = gtk_widget_get_window(widget);
    int x = 0, y = 0;
    if (gw) gdk_window_get_root_origin(gw, &x, &y);
    static_cast<PlacementKeeper*>(keeper)->OnMapped(wxPoint(x, y));
    return FALSE;
}

}  // namespace

PlacementKeeper::PlacementKeeper(wxWindow* window) : m_window(window) {
    g_signal_connect(window->GetHandle(), "map-event", G_CALLBACK(OnMapEvent), this);
}

void PlacementKeeper::Arm() {
    m_want = m_window->GetPosition();
    m_armed = true;
}

void PlacementKeeper::OnMapped(const wxPoint& now) {
    if (!m_armed) return;
    m_armed = false;
    if (now != m_want) MoveTopLevel(m_window, m_want);
}

void MoveTopLevel(wxWindow* window, const wxPoint& at) {
    GtkWidget* widget = window->GetHandle();
    if (widget && GTK_IS_WINDOW(widget)) gtk_window_move(GTK_WINDOW(widget), at.x, at.y);
}
