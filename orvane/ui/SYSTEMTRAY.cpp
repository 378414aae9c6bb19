#include "orvane/ui/SYSTEMTRAY.h"

#include <wx/msgdlg.h>
#include <wx/window.h>

#include "orvane/ui/Menus.h"
#include "orvane/ui/Resource.h"
#include "orvane/ui/Skin.h"
#include "orvane/ui/ViewerHost.h"

namespace {
constexpr int kUserMessageBase = 0x400;
constexpr size_t kMaxTip = 63;
}  // namespace

void CSystemTray::BindEvents() {
    Bind(wxEVT_MENU, &CSystemTray::ForwardCommand, this);
    Bind(wxEVT_TASKBAR_LEFT_DCLICK, [this](wxTaskBarIconEvent&) { OnLeftDoubleClick(); });
}

bool CSystemTray::AddTrayIcon(wxWindow* parent, int message, const wxString& tip,
                              const wxIcon& icon, int id) {
    if (message < kUserMessageBase || !wxTaskBarIcon::IsAvailable()) return false;
    m_parent = parent;
    m_tip = tip.Left(kMaxTip);
    m_icon = icon;
    m_id = id;
    m_enabled = SetIcon(m_icon, m_tip);
    m_hidden = false;
    return m_enabled;
}

void CSystemTray::HideTrayIcon() {
    if (!m_enabled || m_hidden) return;
    RemoveIcon();
    m_hidden = true;
}

void CSystemTray::ShowTrayIcon() {
    if (!m_enabled || !m_hidden) return;
    SetIcon(m_icon, m_tip);
    m_hidden = false;
}

void CSystemTray::RemoveTrayIcon() {
    if (!m_enabled) return;
    if (!m_hidden) RemoveIcon();
    m_enabled = false;
}

void CSystemTray::ChangeTrayIcon(const wxIcon& icon) {
    if (!m_enabled) return;
    m_icon = icon;
    if (!m_hidden) SetIcon(m_icon, m_tip);
}

void CSystemTray::ChangeTrayIcon(int iconResource) { ChangeTrayIcon(LoadSkinIcon(iconResource)); }

void CSystemTray::SetDefaultMenuItem(int item, bool byPosition) {
    m_defaultItem = item;
    m_defaultByPosition = byPosition;
}

wxMenu* CSystemTray::CreatePopupMenu() {
    wxMenu* menu = LoadMenuResource(m_id);
    if (!menu) {
        wxMessageBox("Loading menu failed,maybe there is no enough system resource or any other "
                     "exception occured!Please exit program and start it again.",
                     "Error", wxOK | wxICON_ERROR);
        return nullptr;
    }
    if (m_parent) m_parent->Raise();
    return menu;
}

// The menu's commands belong to the main window.
void CSystemTray::ForwardCommand(wxCommandEvent& e) {
    if (!m_parent) return;
    wxCommandEvent cmd(wxEVT_MENU, CommandFromMenuItem(e.GetId()));
    m_parent->GetEventHandler()->ProcessEvent(cmd);
}

void CSystemTray::OnLeftDoubleClick() {
    if (m_host) m_host->RestoreFromTray();
}
