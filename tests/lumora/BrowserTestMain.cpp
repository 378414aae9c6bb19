// Starts wx once for all browser window tests.
#include "WxTestLoop.h"

int main(int argc, char** argv) { return RunWxTests(argc, argv); }
