// The viewer's icon in the desktop's notification area, with its small menu.
// The icon is a StatusNotifierItem where the desktop runs a watcher for them
// (KDE, GNOME with its AppIndicator extension, XFCE, Cinnamon), else an icon
// in an XEmbed tray; without either, adding the icon fails and the viewer
// minimises instead of hiding. Menu commands go to the main window as
// wxEVT_MENU; a double click asks the viewer to come back from the tray.
#pragma once

#include <memory>

#include <wx/string.h>

class ViewerHost;
class wxMenu;
class wxWindow;

class CSystemTray {
public:
    enum class Kind { NoTray, StatusNotifier, XEmbed };
    // What an icon on the desktop needs from its tray object.
    class Backend {
    public:
        virtual ~Backend() = default;
        virtual bool Show(int iconResource, const wxString& tip) = 0;
        virtual void Hide() = 0;
        virtual void ChangeIcon(int iconResource) = 0;
    };

    explicit CSystemTray(ViewerHost* host = nullptr);
    ~CSystemTray();

    // False when the desktop has no notification area, the message is below
    // the user range, or the icon cannot be added. The tip is cut to 63 characters.
    bool AddTrayIcon(wxWindow* parent, int message, const wxString& tip, int iconResource, int id);
    void HideTrayIcon();
    void ShowTrayIcon();
    void RemoveTrayIcon();
    void ChangeTrayIcon(int iconResource);
    void SetDefaultMenuItem(int item, bool byPosition);

    bool IsEnabled() const { return m_enabled; }
    bool IsHidden() const { return m_hidden; }
    const wxString& Tip() const { return m_tip; }
    int MenuId() const { return m_id; }
    int IconResource() const { return m_iconResource; }
    Kind GetKind() const { return m_kind; }
    // The kind of notification area this desktop offers now.
    static Kind Available();

    // Raises the host; the icon's double click (or its activation).
    void OnLeftDoubleClick();
    // Menu 305, or nullptr after telling the user it could not be loaded.
    // A menu about to pop up brings the main window forward first.
    wxMenu* CreateMenu(bool forPopup = true);
    // A command chosen in the icon's menu, by menu item id.
    void OnMenuCommand(int itemId);
    // The notification area went away while the icon was up.
    void OnAreaLost();

private:
    ViewerHost* m_host;
    std::unique_ptr<Backend> m_backend;
    Kind m_kind = Kind::NoTray;
    wxWindow* m_parent = nullptr;
    int m_iconResource = 0;
    wxString m_tip;
    int m_id = 0;
    bool m_enabled = false;
    bool m_hidden = false;
    int m_defaultItem = 2;
    bool m_defaultByPosition = true;
};
