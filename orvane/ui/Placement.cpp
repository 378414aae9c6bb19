#include "orvane/ui/Placement.h"

#include <wx/toplevel.h>
#include <wx/window.h>

#include <gtk/gtk.h>
// Last: the X11 headers define macros that clash with wx names.
#include <gdk/gdkx.h>

namespace {

// Enough for a window manager that answers a move and a resize separately
// after an older request; one that still disagrees then keeps its place.
constexpr int kAsks = 6;

// The X window of a shown top-level window, or 0.
Window XidOf(wxWindow* window, Display** display) {
    GtkWidget* widget = window ? window->GetHandle() : nullptr;
    GdkWindow* gw = widget ? gtk_widget_get_window(widget) : nullptr;
    if (!gw || !GDK_IS_X11_WINDOW(gw)) return 0;
    *display = GDK_WINDOW_XDISPLAY(gw);
    return GDK_WINDOW_XID(gw);
}

}  // namespace

bool ScreenRectOf(wxWindow* window, wxRect* rect) {
    Display* d = nullptr;
    const Window xid = XidOf(window, &d);
    if (!xid) return false;
    GdkDisplay* gd = gdk_x11_lookup_xdisplay(d);
    gdk_x11_display_error_trap_push(gd);
    XWindowAttributes a{};
    Window child = 0;
    int x = 0, y = 0;
    const bool ok = XGetWindowAttributes(d, xid, &a) && a.map_state == IsViewable &&
                    XTranslateCoordinates(d, xid, a.root, 0, 0, &x, &y, &child);
    gdk_x11_display_error_trap_pop_ignored(gd);
    if (ok) *rect = wxRect(x, y, a.width, a.height);
    return ok;
}

PlacementKeeper::PlacementKeeper(wxWindow* window) : m_window(window) {
    GtkWidget* widget = window->GetHandle();
    // Property changes are the last notice a window manager gives while it
    // takes the window in (state, frame extents, desktop).
    gtk_widget_add_events(widget, GDK_PROPERTY_CHANGE_MASK);
    for (const char* signal : {"configure-event", "map-event", "property-notify-event", "window-state-event"})
        g_signal_connect(widget, signal, G_CALLBACK(OnAnswer), this);
}

PlacementKeeper::~PlacementKeeper() {
    if (m_idle) g_source_remove(m_idle);
    if (GtkWidget* widget = m_window->GetHandle()) g_signal_handlers_disconnect_by_data(widget, this);
}

void PlacementKeeper::Arm() {
    m_want = wxRect(m_window->GetPosition(), m_window->GetSize());
    m_wholeRect = false;
    m_holding = true;
    m_asksLeft = kAsks;
}

void PlacementKeeper::Hold(const wxRect& r) {
    m_want = r;
    m_wholeRect = true;
    m_asksLeft = kAsks;
    wxRect now;
    m_holding = !(ScreenRectOf(m_window, &now) && now == r);
    Ask(r, false);
}

wxRect PlacementKeeper::Intended() const {
    if (m_holding && m_wholeRect) return m_want;
    wxRect now;
    if (ScreenRectOf(m_window, &now)) return now;
    return wxRect(m_window->GetPosition(), m_window->GetSize());
}

// The toolkit's own answer handling runs first (it may ask again itself);
// the check waits until it is done.
gboolean PlacementKeeper::OnAnswer(void*, void*, gpointer self) {
    auto* keeper = static_cast<PlacementKeeper*>(self);
    if (!keeper->m_idle) keeper->m_idle = g_idle_add(OnIdle, keeper);
    return FALSE;
}

gboolean PlacementKeeper::OnIdle(gpointer self) {
    auto* keeper = static_cast<PlacementKeeper*>(self);
    keeper->m_idle = 0;
    keeper->Settle();
    return G_SOURCE_REMOVE;
}

void PlacementKeeper::Settle() {
    wxRect now;
    if (!ScreenRectOf(m_window, &now)) return;  // hidden or minimised: the map answers later
    if (m_holding) {
        const bool there = m_wholeRect ? now == m_want : now.GetPosition() == m_want.GetPosition();
        if (!there && m_asksLeft-- > 0) {
            Ask(m_want, true);
            return;
        }
        m_holding = false;  // shown where wanted, or the window manager insists
    }
    // wx's belief follows the screen; not while the user drags the window.
    auto* tlw = dynamic_cast<wxTopLevelWindow*>(m_window);
    if (tlw && !m_window->HasCapture() && m_window->GetPosition() != now.GetPosition())
        tlw->GTKConfigureEvent(now.x, now.y);
}

// wx asks only for what differs from its belief, and GTK only for what
// differs from its last request: both can be wrong, so each is told again and
// on a second ask the X server is asked directly as well. A window the user cannot size has
// its size pinned in the hints GTK gives the window manager (min = max = the
// size request), so the size request must change with it.
void PlacementKeeper::Ask(const wxRect& r, bool again) {
    if (m_wholeRect) m_window->SetSize(r);
    else m_window->Move(r.GetPosition());
    GtkWidget* widget = m_window->GetHandle();
    if (!widget || !GTK_IS_WINDOW(widget)) return;
    GtkWindow* window = GTK_WINDOW(widget);
    gtk_window_move(window, r.x, r.y);
    if (!m_wholeRect) return;
    if (gtk_window_get_resizable(window)) gtk_window_resize(window, r.width, r.height);
    else gtk_widget_set_size_request(widget, r.width, r.height);
    GdkWindow* gw = gtk_widget_get_window(widget);
    if (again && gw && gtk_widget_get_mapped(widget)) gdk_window_move_resize(gw, r.x, r.y, r.width, r.height);
}
