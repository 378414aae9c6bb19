// Where a fuzz target writes each input for readers that take a path: a file
// on tmpfs when there is one, so the write costs no disk I/O.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

inline std::string FuzzFilePath(const char* name) {
    std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return dir + "/" + name + "-fuzz-" + std::to_string(getpid());
}

// Writes one input whole; false when the file cannot be written.
inline bool WriteFuzzFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool whole = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && whole;
}
