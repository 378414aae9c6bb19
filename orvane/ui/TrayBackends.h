// The two kinds of tray icon behind CSystemTray: a StatusNotifierItem over
// libayatana-appindicator3 and an XEmbed tray icon over wxTaskBarIcon.
#pragma once

#include <memory>
#include <string>

#include "orvane/ui/SYSTEMTRAY.h"

// Whether the session bus has a StatusNotifierWatcher (answers within a second).
bool StatusNotifierWatcherPresent();
// Whether the X screen has an XEmbed system tray.
bool XEmbedTrayPresent();
std::unique_ptr<CSystemTray::Backend> MakeStatusNotifierTray(CSystemTray& tray);
std::unique_ptr<CSystemTray::Backend> MakeXEmbedTray(CSystemTray& tray);
// The icon's picture as a PNG in a private folder: the folder, and the icon
// name in it ("tellura-128"). Empty folder when it cannot be written.
std::string WriteTrayIconFile(int iconResource, std::string* name);
