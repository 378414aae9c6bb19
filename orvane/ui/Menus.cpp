#include "orvane/ui/Menus.h"

#include "orvane/ui/Resource.h"

#include <wx/window.h>

namespace {

constexpr int kHighCommands = 32767, kShift = 16384;

wxMenu* ContextMenu() {
    auto* pop = new wxMenu;
    pop->Append(MenuItemId(IDC_CONFIGURATION), "&Configuration");
    pop->Append(MenuItemId(ID_OVERLAY_SETTINGS), "O&verlay Settings...");
    // The device's own property pages, titled as the pages are.
    auto* device = new wxMenu;
    device->Append(MenuItemId(ID_PROP_CAPTURE_DEVICE), "Video &Capture Device...");
    device->Append(MenuItemId(ID_PROP_DISPLAY_FORMAT), "&Display Format...");
    device->Append(MenuItemId(ID_PROP_RECORD_FORMAT), "&Recording Format...");
    device->Append(MenuItemId(ID_PROP_INPUT_SELECT), "Chunnel &Selection...");
    pop->AppendSubMenu(device, "&Device Properties");
    pop->Append(MenuItemId(IDC_SHOW_CONTROL_PANEL), "Sh&ow Control Panel");
    pop->Append(MenuItemId(IDC_RECORD), "Start &Recording");
    // The channel commands whose panel buttons sit outside the panel.
    auto* channels = new wxMenu;
    channels->Append(MenuItemId(IDC_SCAN_CHANNELS), "&Scan Channels");
    channels->Append(MenuItemId(IDC_CHANNEL_UP), "Channel &Up");
    channels->Append(MenuItemId(IDC_CHANNEL_DOWN), "Channel &Down");
    channels->Append(MenuItemId(ID_CHANNEL_LIST), "Channel &List...");
    channels->AppendCheckItem(MenuItemId(ID_KEYPAD_TOGGLE), "Show &Keypad");
    pop->AppendSubMenu(channels, "C&hannels");
    pop->AppendSeparator();
    pop->Append(MenuItemId(ID_NORMAL_SIZE), "&Normal Size");
    auto* sizes = new wxMenu;
    sizes->Append(MenuItemId(ID_FORCE_SIZE_320), "320 X 240");
    sizes->Append(MenuItemId(ID_FORCE_SIZE_640), "640 X 480");
    pop->AppendSubMenu(sizes, "Force Size to");
    pop->AppendCheckItem(MenuItemId(ID_FORCE_RATIO_43), "Force &Ratio to 4:3")->Check(true);
    pop->AppendCheckItem(MenuItemId(ID_ALWAYS_ON_TOP), "&Always On Top");
    pop->AppendCheckItem(MenuItemId(ID_FULLSCREEN), "&Fullscreen");
    pop->AppendSeparator();
    pop->Append(MenuItemId(ID_CLOSE), "&Close");
    return pop;
}

wxMenu* TrayMenu() {
    auto* pop = new wxMenu;
    pop->Append(MenuItemId(ID_TRAY_RUN), "&Run Tellura");
    pop->AppendSeparator();
    pop->Append(MenuItemId(ID_TRAY_EXIT), "&Exit Tellura");
    return pop;
}

}  // namespace

wxMenu* LoadMenuResource(int id) {
    if (id == IDR_CONTEXT_MENU) return ContextMenu();
    if (id == IDR_TRAY_MENU) return TrayMenu();
    return nullptr;
}

int MenuItemId(int command) { return command >= kHighCommands ? command - kShift : command; }

int CommandFromMenuItem(int itemId) {
    return itemId >= kHighCommands - kShift && itemId < kHighCommands - kShift + 100 ? itemId + kShift
                                                                                   : itemId;
}

void TrackCommandMenu(wxWindow* owner, wxMenu& menu, const wxPoint& pos) {
    const int item = owner->GetPopupMenuSelectionFromUser(menu, pos);
    if (item == wxID_NONE) return;
    wxCommandEvent cmd(wxEVT_MENU, CommandFromMenuItem(item));
    owner->GetEventHandler()->ProcessEvent(cmd);
}
