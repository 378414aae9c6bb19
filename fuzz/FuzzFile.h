// Where a fuzz target writes each input for readers that take a path: a file
// on tmpfs when there is one, so the write costs no disk I/O.
#pragma once
#include <unistd.h>

#include <string>

inline std::string FuzzFilePath(const char* name) {
    std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return dir + "/" + name + "-fuzz-" + std::to_string(getpid());
}
