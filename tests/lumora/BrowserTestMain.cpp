// Starts wx once for all browser window tests. The toolkit reads the XDG
// folders once per process, so the whole process runs in a private home:
// nothing a test trashes ever reaches the user's own trash.
#include "WxTestLoop.h"
#include "support/TestEnv.h"

int main(int argc, char** argv) {
    tellura::test::ScopedHome processHome;
    return RunWxTests(argc, argv);
}
