// libFuzzer target: writes the input to a file and runs one reader over it
// (chosen at build time by ORNIX_FUZZ_LOADER), then checks FileType too.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/FuzzFile.h"
#include "ornix/Ornix.h"
#include "platform/GlobalMemory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // In memory (tmpfs): on a disk file system each rewrite of the truncated
    // file is flushed on close, which costs milliseconds per input.
    static const std::string path = FuzzFilePath("ornix");
    if (!WriteFuzzFile(path, data, size)) return 0;
    FileType(path.c_str());
    ORNIX_HANDLE h = ORNIX_FUZZ_LOADER(path.c_str());
    if (h) plat::GlobalFree(h);
    return 0;
}
