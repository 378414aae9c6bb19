// libFuzzer target for the EXIF orientation reader: the input is the start
// of a JPEG file. Any bytes give an orientation of 1..8, and the turn it
// names copies a small picture without reading or writing outside it.
#include <cstdint>
#include <vector>

#include "common/Orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int o = orient::JpegOrientation(data, size);
    if (o < 1 || o > 8) __builtin_trap();
    // A 5 x 3 picture of 3-byte pixels, bottom-up as the image object keeps it.
    const int w = 5, h = 3, bpp = 3;
    std::vector<uint8_t> src(size_t(w) * h * bpp, 7), dst(src.size(), 0);
    const int ow = orient::SwapsAxes(o) ? h : w, oh = orient::SwapsAxes(o) ? w : h;
    orient::OrientPixels(src.data() + (h - 1) * w * bpp, w, h, bpp, -w * bpp, dst.data() + (oh - 1) * ow * bpp,
                         -ow * bpp, o);
    for (uint8_t v : dst)
        if (v != 7) __builtin_trap();
    return 0;
}
