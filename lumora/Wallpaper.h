// Setting the desktop wallpaper to a picture file, through the running
// desktop's own setting, chosen by XDG_CURRENT_DESKTOP: GNOME (and the
// desktops built on its settings), Cinnamon, MATE, XFCE (every monitor and
// workspace) and KDE Plasma; with no known desktop, an X11 root-window setter
// where one is installed. The tools are looked up on PATH.
#pragma once
#include <string>

namespace lumora {

// Shows the picture as the wallpaper. Desktops that do not reload a setting
// that names the same file again are given a copy beside it under names that
// alternate ("TALVE-1.BMP", "TALVE-2.BMP"), the older copy removed once the
// new one is set. False when no known desktop or setter answered.
bool SetDesktopWallpaper(const std::string& path);

}  // namespace lumora
