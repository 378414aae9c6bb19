// libFuzzer target for the image browser's file probing: the input is a
// picture file handed to the thumbnailer (header sizes, the JPEG fast path,
// the codec library), or, built with FUZZ_THUMB_CACHE, the freedesktop cache
// entry of a real picture, which the cache reader must check and read.
#include <sys/stat.h>
#include <utime.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzFile.h"
#include "lumora/ThumbCache.h"
#include "ornix/Ornix.h"
#include "platform/GlobalMemory.h"

namespace {

std::string g_root;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
#ifdef FUZZ_THUMB_CACHE
    // A fixed place and time, which the seed entries name.
    g_root = "/dev/shm/tellura-fuzz-thumbcache";
#else
    g_root = FuzzFilePath("thumb");
#endif
    setenv("XDG_CACHE_HOME", (g_root + "/cache").c_str(), 1);
    std::string mk = "mkdir -p '" + g_root + "/cache/thumbnails/large' '" + g_root + "/cache/thumbnails/x-large'";
    if (std::system(mk.c_str()) != 0) return 0;
#ifdef FUZZ_THUMB_CACHE
    // The file whose cache entry the inputs stand in for: one that does not
    // decode, so a rejected entry costs no decoding and the runs stay on the
    // entry reader.
    static const uint8_t bmp[] = {'B', 'M'};
    WriteFuzzFile(g_root + "/picture.bmp", bmp, sizeof bmp);
    utimbuf when{1700000000, 1700000000};
    utime((g_root + "/picture.bmp").c_str(), &when);
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#ifdef FUZZ_THUMB_CACHE
    const std::string picture = g_root + "/picture.bmp";
    WriteFuzzFile(lumora::CacheFileFor(picture, 256), data, size);
    std::function<void()> deferred;  // a rejected entry is not replaced
    lumora::LoadThumbnail(picture, 200, 150, &deferred);
#else
    const std::string picture = g_root + "/input";
    WriteFuzzFile(picture, data, size);
    std::function<void()> deferred;  // no cache writes: each input is new
    lumora::Thumb t = lumora::LoadThumbnail(picture, 160, 120, &deferred);
    if (t.ok && (t.pixW <= 0 || t.pixH <= 0 || t.rgb.size() != size_t(t.pixW) * t.pixH * 3)) __builtin_trap();
#endif
    return 0;
}
