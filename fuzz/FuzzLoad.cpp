// libFuzzer target: writes the input to a file and runs one reader over it
// (chosen at build time by ORNIX_FUZZ_LOADER), then checks FileType too.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "ornix/Ornix.h"
#include "platform/GlobalMemory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/ornix-fuzz-" + std::to_string(getpid());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    FileType(path.c_str());
    ORNIX_HANDLE h = ORNIX_FUZZ_LOADER(path.c_str());
    if (h) plat::GlobalFree(h);
    return 0;
}
