// X11 details of the main window: its native window for the video sink, and
// whether a window manager runs. Kept apart: the X11 headers define clashing macros.
#include <string>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <wx/window.h>

// The X11 window of a wx window, made native so the video sink can draw
// into it. 0 when the display is not X11.
unsigned long NativeXidOf(wxWindow* w) {
    GtkWidget* widget = w->GetHandle();
    if (!widget) return 0;
    gtk_widget_realize(widget);
    GdkWindow* gw = gtk_widget_get_window(widget);
    if (!gw || !GDK_IS_X11_WINDOW(gw)) return 0;
    if (!gdk_window_ensure_native(gw)) return 0;
    // The library makes its window inside ours over its own connection: the
    // server must know ours first.
    gdk_display_sync(gdk_window_get_display(gw));
    return gdk_x11_window_get_xid(gw);
}

// Whether a window manager runs on the screen (it owns the WM_Sn selection).
// Only a window manager can minimise a window; without one a window that
// was asked to start minimised simply appears.
bool WindowManagerRunning() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
    Display* x = gdk_x11_display_get_xdisplay(display);
    const std::string selection = "WM_S" + std::to_string(DefaultScreen(x));
    return XGetSelectionOwner(x, XInternAtom(x, selection.c_str(), False)) != None;
}

// Ends a native message box's own loop unanswered, as its close button would.
void CancelNativeDialog(wxWindow* dialog) {
    GtkWidget* widget = dialog->GetHandle();
    if (widget && GTK_IS_DIALOG(widget)) gtk_dialog_response(GTK_DIALOG(widget), GTK_RESPONSE_DELETE_EVENT);
}
