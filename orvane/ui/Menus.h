// The viewer's menus, built in code: the first pop-up of menu 191 (the main
// window's context menu) and of menu 305 (the tray icon's menu).
//
// wx menu items cannot carry ids above 32767, and several viewer commands are
// above it; menu items therefore use MenuItemId(command). Everything outside
// the menu object (handlers, the panel, the remote) uses the command ids.
#pragma once

#include <wx/menu.h>

// A new pop-up menu owned by the caller, or null for an unknown menu id.
wxMenu* LoadMenuResource(int id);

int MenuItemId(int command);
int CommandFromMenuItem(int itemId);

// Shows `menu` at `pos` (client coordinates of owner) and, when the user picks
// an item, sends its command to the owner as a wxEVT_MENU event.
void TrackCommandMenu(wxWindow* owner, wxMenu& menu, const wxPoint& pos = wxDefaultPosition);
