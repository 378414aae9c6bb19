#include "orvane/ui/TrayBackends.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include <wx/bitmap.h>
#include <wx/image.h>
#include <wx/imagpng.h>
#include <wx/menu.h>
#include <wx/taskbar.h>

#include "orvane/ui/Skin.h"
#include "platform/Paths.h"

// After wx: the X11 headers define macros (None, Status) wx does not expect.
#include <gdk/gdkx.h>
#include <gio/gio.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

namespace {

constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";

// An icon in an XEmbed tray. Its menu is built when the user asks for it.
class XEmbedTray : public CSystemTray::Backend, public wxTaskBarIcon {
public:
    explicit XEmbedTray(CSystemTray& tray) : m_tray(tray) {
        Bind(wxEVT_MENU, [this](wxCommandEvent& e) { m_tray.OnMenuCommand(e.GetId()); });
        Bind(wxEVT_TASKBAR_LEFT_DCLICK, [this](wxTaskBarIconEvent&) { m_tray.OnLeftDoubleClick(); });
    }
    bool Show(int iconResource, const wxString& tip) override {
        m_tip = tip;
        return wxTaskBarIcon::SetIcon(LoadSkinIcon(iconResource), tip);
    }
    void Hide() override { RemoveIcon(); }
    void ChangeIcon(int iconResource) override { wxTaskBarIcon::SetIcon(LoadSkinIcon(iconResource), m_tip); }

protected:
    wxMenu* CreatePopupMenu() override { return m_tray.CreateMenu(); }

private:
    CSystemTray& m_tray;
    wxString m_tip;
};

// The process's StatusNotifierItem: the desktop draws the icon from the file
// the item names and shows the menu itself, over D-Bus. It is made once and
// then only shown (active) and hidden (passive): the indicator library does
// not survive being torn down while it is still connecting. It registers again
// by itself when the watcher goes away and comes back.
class StatusNotifierItem {
public:
    static StatusNotifierItem& Get() {
        static StatusNotifierItem* item = new StatusNotifierItem;  // lives as long as the process
        return *item;
    }
    bool Show(CSystemTray* tray, int iconResource, const std::string& tip) {
        m_owner = tray;
        m_tip = tip;
        std::string name;
        const std::string dir = WriteTrayIconFile(iconResource, &name);
        if (dir.empty() || (!m_indicator && !Create(name, dir))) return false;
        app_indicator_set_title(m_indicator, m_tip.c_str());
        app_indicator_set_icon_full(m_indicator, name.c_str(), m_tip.c_str());
        app_indicator_set_status(m_indicator, APP_INDICATOR_STATUS_ACTIVE);
        return true;
    }
    void Hide(CSystemTray* tray) {
        if (m_owner != tray) return;
        m_owner = nullptr;
        if (m_indicator) app_indicator_set_status(m_indicator, APP_INDICATOR_STATUS_PASSIVE);
    }
    void ChangeIcon(CSystemTray* tray, int iconResource) {
        std::string name;
        if (m_owner == tray && m_indicator && !WriteTrayIconFile(iconResource, &name).empty())
            app_indicator_set_icon_full(m_indicator, name.c_str(), m_tip.c_str());
    }

private:
    StatusNotifierItem() {
        g_bus_watch_name(G_BUS_TYPE_SESSION, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
                         &StatusNotifierItem::OnVanished, this, nullptr);
    }

    bool Create(const std::string& iconName, const std::string& dir) {
        GtkWidget* menu = BuildMenu();
        if (!menu) return false;
        m_indicator = app_indicator_new_with_path("tellura", iconName.c_str(),
                                                  APP_INDICATOR_CATEGORY_APPLICATION_STATUS, dir.c_str());
        if (!m_indicator) {
            g_object_ref_sink(menu);
            g_object_unref(menu);
            return false;
        }
        app_indicator_set_menu(m_indicator, GTK_MENU(menu));
        return true;
    }

    // Menu 305 as a GTK menu, its mnemonics kept; each item sends its command.
    // The desktop shows it whenever the user asks, so it is built once.
    GtkWidget* BuildMenu() {
        std::unique_ptr<wxMenu> source(m_owner ? m_owner->CreateMenu(false) : nullptr);
        if (!source) return nullptr;
        GtkWidget* menu = gtk_menu_new();
        for (const wxMenuItem* item : source->GetMenuItems()) {
            GtkWidget* entry;
            if (item->IsSeparator()) {
                entry = gtk_separator_menu_item_new();
            } else {
                wxString label = item->GetItemLabel();
                label.Replace("_", "__");
                label.Replace("&", "_");
                entry = gtk_menu_item_new_with_mnemonic(label.utf8_str());
                g_object_set_data(G_OBJECT(entry), "tellura-item", GINT_TO_POINTER(item->GetId()));
                g_signal_connect(entry, "activate", G_CALLBACK(&StatusNotifierItem::OnItem), this);
            }
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), entry);
            gtk_widget_show(entry);
        }
        return menu;
    }

    static void OnItem(GtkMenuItem* entry, gpointer data) {
        auto* self = static_cast<StatusNotifierItem*>(data);
        const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(entry), "tellura-item"));
        if (self->m_owner) self->m_owner->OnMenuCommand(id);
    }

    // An XEmbed tray, if any, takes the icon over meanwhile (the indicator
    // does that itself); without one the viewer must not stay hidden where
    // nothing can reach it.
    static void OnVanished(GDBusConnection*, const gchar*, gpointer data) {
        auto* self = static_cast<StatusNotifierItem*>(data);
        if (self->m_owner && !XEmbedTrayPresent()) self->m_owner->OnAreaLost();
    }

    AppIndicator* m_indicator = nullptr;
    CSystemTray* m_owner = nullptr;  // the tray object showing the item
    std::string m_tip;
};

class StatusNotifierTray : public CSystemTray::Backend {
public:
    explicit StatusNotifierTray(CSystemTray& tray) : m_tray(tray) {}
    ~StatusNotifierTray() override { Hide(); }
    bool Show(int iconResource, const wxString& tip) override {
        return StatusNotifierItem::Get().Show(&m_tray, iconResource, tip.utf8_string());
    }
    void Hide() override { StatusNotifierItem::Get().Hide(&m_tray); }
    void ChangeIcon(int iconResource) override { StatusNotifierItem::Get().ChangeIcon(&m_tray, iconResource); }

private:
    CSystemTray& m_tray;
};

}  // namespace

bool StatusNotifierWatcherPresent() {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return false;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", kWatcherName), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, &error);
    g_object_unref(bus);
    if (!reply) {
        g_clear_error(&error);
        return false;
    }
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

bool XEmbedTrayPresent() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
    Display* x = gdk_x11_display_get_xdisplay(display);
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x));
    return XGetSelectionOwner(x, XInternAtom(x, selection.c_str(), False)) != None;
}

std::unique_ptr<CSystemTray::Backend> MakeStatusNotifierTray(CSystemTray& tray) {
    return std::make_unique<StatusNotifierTray>(tray);
}

std::unique_ptr<CSystemTray::Backend> MakeXEmbedTray(CSystemTray& tray) {
    return std::make_unique<XEmbedTray>(tray);
}

std::string WriteTrayIconFile(int iconResource, std::string* name) {
    const std::string dir = plat::RuntimeDir() + "tray/";
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    *name = "tellura-" + std::to_string(iconResource);
    const std::string path = dir + *name + ".png";
    const wxImage image = wxBitmap(LoadSkinIcon(iconResource, 64)).ConvertToImage();  // hosts scale it
    if (!image.IsOk() || !image.SaveFile(path + ".tmp", wxBITMAP_TYPE_PNG)) return {};
    if (std::rename((path + ".tmp").c_str(), path.c_str()) != 0) return {};
    return dir;
}
