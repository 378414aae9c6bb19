#include "platform/Session.h"

#include <cstdlib>
#include <cstring>

namespace plat {
namespace {
bool Set(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}
}  // namespace

std::string PreferX11Session() {
    const char* type = std::getenv("XDG_SESSION_TYPE");
    const bool wayland = Set("WAYLAND_DISPLAY") || (type && std::strcmp(type, "wayland") == 0);
    if (!wayland || Set("GDK_BACKEND")) return {};
    setenv("GDK_BACKEND", "x11", 1);
    if (Set("DISPLAY")) return {};
    return "This Wayland session has no X server for the picture (XWayland). "
           "Install XWayland (Debian package \"xwayland\") or start an X11 session.";
}
}  // namespace plat
