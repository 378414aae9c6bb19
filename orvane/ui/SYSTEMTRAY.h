// The viewer's icon in the desktop's notification area, with its small menu.
// Menu commands go to the main window as wxEVT_MENU; a double click asks the
// viewer to come back from the tray.
#pragma once

#include <wx/icon.h>
#include <wx/taskbar.h>

class ViewerHost;

class CSystemTray : public wxTaskBarIcon {
public:
    explicit CSystemTray(ViewerHost* host = nullptr) : m_host(host) { BindEvents(); }
    ~CSystemTray() override { RemoveTrayIcon(); }

    // False when the desktop has no notification area, the message is below
    // the user range, or the icon cannot be added. The tip is cut to 63 characters.
    bool AddTrayIcon(wxWindow* parent, int message, const wxString& tip, const wxIcon& icon,
                     int id);
    void HideTrayIcon();
    void ShowTrayIcon();
    void RemoveTrayIcon();
    void ChangeTrayIcon(const wxIcon& icon);
    void ChangeTrayIcon(int iconResource);
    void SetDefaultMenuItem(int item, bool byPosition);

    bool IsEnabled() const { return m_enabled; }
    bool IsHidden() const { return m_hidden; }
    const wxString& Tip() const { return m_tip; }
    int MenuId() const { return m_id; }

    // Raises the host for tests and for the double click.
    void OnLeftDoubleClick();

protected:
    wxMenu* CreatePopupMenu() override;

private:
    void BindEvents();
    void ForwardCommand(wxCommandEvent& e);

    ViewerHost* m_host;
    wxWindow* m_parent = nullptr;
    wxIcon m_icon;
    wxString m_tip;
    int m_id = 0;
    bool m_enabled = false;
    bool m_hidden = false;
    int m_defaultItem = 2;
    bool m_defaultByPosition = true;
};
