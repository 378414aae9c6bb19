// One wx application for the browser window tests, in a private home: the
// toolkit reads the XDG folders once per process, so nothing trashed here
// reaches the user's own trash.
#include "WxTestLoop.h"
#include "support/TestEnv.h"

int main(int argc, char** argv) {
    tellura::test::ScopedHome processHome;
    return RunWxTests(argc, argv);
}
