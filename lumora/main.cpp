// The image browser's entry point.
#include <X11/Xlib.h>

#include "lumora/LumoraApp.h"

wxIMPLEMENT_APP_NO_MAIN(CLumoraApp);

int main(int argc, char** argv) {
    // Thumbnails are decoded on worker threads beside the toolkit.
    XInitThreads();
    return wxEntry(argc, argv);
}
