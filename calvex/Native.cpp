// The native X11 window behind a wx window. Kept apart because the X11
// headers define macros that clash with ordinary names.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <wx/window.h>

namespace calvex {

unsigned long NativeXidOf(wxWindow* w) {
    GtkWidget* widget = w->GetHandle();
    if (!widget) return 0;
    gtk_widget_realize(widget);
    GdkWindow* gw = gtk_widget_get_window(widget);
    if (!gw || !GDK_IS_X11_WINDOW(gw)) return 0;
    if (!gdk_window_ensure_native(gw)) return 0;
    // The sink draws over its own connection: the server must know ours first.
    gdk_display_sync(gdk_window_get_display(gw));
    return gdk_x11_window_get_xid(gw);
}

}  // namespace calvex
