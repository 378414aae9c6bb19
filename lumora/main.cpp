// The image browser's entry point.
#include <X11/Xlib.h>

#include <cstdio>

#include "lumora/LumoraApp.h"
#include "platform/Session.h"

wxIMPLEMENT_APP_NO_MAIN(CLumoraApp);

int main(int argc, char** argv) {
    // Before the toolkit starts: under Wayland, through XWayland.
    const std::string missing = plat::PreferX11Session();
    if (!missing.empty()) {
        std::fprintf(stderr, "%s\n", missing.c_str());
        return 1;
    }
    // Thumbnails are decoded on worker threads beside the toolkit.
    XInitThreads();
    return wxEntry(argc, argv);
}
