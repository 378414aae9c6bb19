// The viewer program's entry point.
#include <X11/Xlib.h>

#include "orvane/ui/OrvaneApp.h"

wxIMPLEMENT_APP_NO_MAIN(COrvaneApp);

int main(int argc, char** argv) {
    // The toolkit and the video sinks reach the X server from several threads.
    XInitThreads();
    return wxEntry(argc, argv);
}
