#include "orvane/ui/SYSTEMTRAY.h"

#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/window.h>

#include "orvane/ui/Menus.h"
#include "orvane/ui/TrayBackends.h"
#include "orvane/ui/ViewerHost.h"

namespace {
constexpr int kUserMessageBase = 0x400;
constexpr size_t kMaxTip = 63;
}  // namespace

CSystemTray::CSystemTray(ViewerHost* host) : m_host(host) {}

CSystemTray::~CSystemTray() { RemoveTrayIcon(); }

CSystemTray::Kind CSystemTray::Available() {
    if (StatusNotifierWatcherPresent()) return Kind::StatusNotifier;
    if (XEmbedTrayPresent()) return Kind::XEmbed;
    return Kind::NoTray;
}

bool CSystemTray::AddTrayIcon(wxWindow* parent, int message, const wxString& tip, int iconResource,
                              int id) {
    if (message < kUserMessageBase) return false;
    RemoveTrayIcon();
    m_kind = Available();
    if (m_kind == Kind::NoTray) return false;
    m_parent = parent;
    m_tip = tip.Left(kMaxTip);
    m_iconResource = iconResource;
    m_id = id;
    m_backend = m_kind == Kind::StatusNotifier ? MakeStatusNotifierTray(*this) : MakeXEmbedTray(*this);
    m_enabled = m_backend && m_backend->Show(m_iconResource, m_tip);
    if (!m_enabled) {
        m_backend.reset();
        m_kind = Kind::NoTray;
    }
    m_hidden = false;
    return m_enabled;
}

void CSystemTray::HideTrayIcon() {
    if (!m_enabled || m_hidden) return;
    m_backend->Hide();
    m_hidden = true;
}

void CSystemTray::ShowTrayIcon() {
    if (!m_enabled || !m_hidden) return;
    m_backend->Show(m_iconResource, m_tip);
    m_hidden = false;
}

void CSystemTray::RemoveTrayIcon() {
    if (!m_enabled) return;
    if (!m_hidden) m_backend->Hide();
    m_backend.reset();
    m_kind = Kind::NoTray;
    m_enabled = false;
}

void CSystemTray::ChangeTrayIcon(int iconResource) {
    if (!m_enabled) return;
    m_iconResource = iconResource;
    if (!m_hidden) m_backend->ChangeIcon(m_iconResource);
}

void CSystemTray::SetDefaultMenuItem(int item, bool byPosition) {
    m_defaultItem = item;
    m_defaultByPosition = byPosition;
}

wxMenu* CSystemTray::CreateMenu(bool forPopup) {
    wxMenu* menu = LoadMenuResource(m_id);
    if (!menu) {
        wxMessageBox("Loading menu failed,maybe there is no enough system resource or any other "
                     "exception occured!Please exit program and start it again.",
                     "Error", wxOK | wxICON_ERROR);
        return nullptr;
    }
    if (forPopup && m_parent) m_parent->Raise();
    return menu;
}

// The menu's commands belong to the main window.
void CSystemTray::OnMenuCommand(int itemId) {
    if (!m_parent) return;
    wxCommandEvent cmd(wxEVT_MENU, CommandFromMenuItem(itemId));
    m_parent->GetEventHandler()->ProcessEvent(cmd);
}

void CSystemTray::OnLeftDoubleClick() {
    if (m_host) m_host->RestoreFromTray();
}

void CSystemTray::OnAreaLost() {
    if (m_enabled && !m_hidden && m_host) m_host->TrayAreaLost();
}
