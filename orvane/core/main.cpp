// The viewer program's entry point.
#include <X11/Xlib.h>
#include <malloc.h>

#include <cstdio>

#include "orvane/ui/OrvaneApp.h"
#include "platform/Session.h"

wxIMPLEMENT_APP_NO_MAIN(COrvaneApp);

int main(int argc, char** argv) {
    // Before the toolkit starts: under Wayland, through XWayland.
    const std::string missing = plat::PreferX11Session();
    if (!missing.empty()) {
        std::fprintf(stderr, "%s\n", missing.c_str());
        return 1;
    }
    // Every media thread would otherwise get an allocator arena of its own, and
    // the frames freed in each stay resident: two arenas keep the viewer's
    // memory level over hours of channel changes and recordings.
    mallopt(M_ARENA_MAX, 2);
    // The toolkit and the video sinks reach the X server from several threads.
    XInitThreads();
    return wxEntry(argc, argv);
}
