// The desktop session the programs run in. The picture is embedded into an
// X11 window, so under a Wayland session the programs run through XWayland.
#pragma once
#include <string>

namespace plat {
// Call before the toolkit starts. In a Wayland session, chooses GDK's X11
// backend unless the user chose a backend (GDK_BACKEND). Returns the text to
// tell the user when that X server (XWayland) is missing, else "".
std::string PreferX11Session();
}  // namespace plat
