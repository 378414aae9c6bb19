// File type detection by content, the information readers and the exported
// colour reducers.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ornix/Internal.h"
#include "ornix/Quantise.h"
#include "platform/GlobalMemory.h"

using namespace ornix;

namespace {

bool LooksLikeTga(const uint8_t* d, size_t n) {
    if (n < 18) return false;
    const int type = d[2], bits = d[16];
    if (d[1] > 1 || !((type >= 1 && type <= 3) || (type >= 9 && type <= 11))) return false;
    if (Le16(d + 12) == 0 || Le16(d + 14) == 0) return false;
    if ((type & 7) == 1) return d[1] == 1 && bits == 8;
    if ((type & 7) == 3) return (bits == 8 || bits == 16) && d[1] == 0;
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

int TypeOf(const uint8_t* d, size_t n) {
    if (n >= 2 && d[0] == 'B' && d[1] == 'M') return ORNIX_TYPE_BMP;
    if (n >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0)) return ORNIX_TYPE_GIF;
    if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return ORNIX_TYPE_JPEG;
    // Classic TIFF (42) and BigTIFF (43), either byte order.
    if (n >= 4 && (std::memcmp(d, "II*\0", 4) == 0 || std::memcmp(d, "MM\0*", 4) == 0 || std::memcmp(d, "II+\0", 4) == 0 ||
                   std::memcmp(d, "MM\0+", 4) == 0))
        return ORNIX_TYPE_TIFF;
    if (n >= 128 && d[0] == 0x0A && d[1] <= 5 && d[2] == 1 && (d[3] == 1 || d[3] == 2 || d[3] == 4 || d[3] == 8))
        return ORNIX_TYPE_PCX;
    if (LooksLikeTga(d, n)) return ORNIX_TYPE_TGA;
    return ORNIX_TYPE_NONE;
}

// Loads with `load` and reports width, height, bit count, planes and colour count.
int Info(ORNIX_HANDLE (*load)(const char*), const char* path, int* w, int* h, int* bits, int* planes, int* colours) {
    ORNIX_HANDLE img = load(path);
    if (!img) return 0;
    auto* p = static_cast<const uint8_t*>(plat::GlobalLock(img));
    int vw = int(Le32(p + 18)), vh = int(Le32(p + 22)), vb = Le16(p + 28), vp = Le16(p + 26);
    plat::GlobalUnlock(img);
    plat::GlobalFree(img);
    if (w) *w = vw;
    if (h) *h = vh;
    if (bits) *bits = vb;
    if (planes) *planes = vp;
    if (colours) *colours = vb <= 8 ? 1 << vb : 0;
    return 1;
}

}  // namespace

extern "C" int FileType(const char* path) {
    if (!path) return ORNIX_TYPE_NONE;
    FILE* f = std::fopen(path, "rb");
    if (!f) return SetError(ORNIX_ERR_NO_FILE), ORNIX_TYPE_NONE;
    uint8_t head[128];
    size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return TypeOf(head, n);
}

extern "C" int GetBMPInfo(const char* p, int* w, int* h, int* b, int* pl, int* c) { return Info(LoadBMP, p, w, h, b, pl, c); }
extern "C" int GetGIFInfo(const char* p, int* w, int* h, int* b, int* pl, int* c) { return Info(LoadGIF, p, w, h, b, pl, c); }
extern "C" int GetPCXInfo(const char* p, int* w, int* h, int* b, int* pl, int* c) { return Info(LoadPCX, p, w, h, b, pl, c); }
extern "C" int GetTGAInfo(const char* p, int* w, int* h, int* b, int* pl, int* c) { return Info(LoadTGA, p, w, h, b, pl, c); }
extern "C" int GetJPGInfo(const char* p, int* w, int* h, int* b, int* pl, int* c) { return Info(LoadJPG, p, w, h, b, pl, c); }
extern "C" int GetTIFInfo(const char* p, int* w, int* h, int* b, int* pl, int* c) { return Info(LoadTIF, p, w, h, b, pl, c); }

extern "C" int MedianCut(const unsigned int* histogram, unsigned char* palette, int colours) {
    if (!histogram || !palette) return 0;
    std::vector<uint32_t> pal;
    int n = MedianCutPalette(histogram, colours, pal);
    for (int i = 0; i < n; ++i)
        palette[i * 4] = uint8_t(pal[i]), palette[i * 4 + 1] = uint8_t(pal[i] >> 8), palette[i * 4 + 2] = uint8_t(pal[i] >> 16), palette[i * 4 + 3] = 0;
    return n;
}

extern "C" int Popularity(const unsigned char* bgr, int count, unsigned char* palette, int colours) {
    if (!bgr || !palette || count <= 0) return 0;
    colours = std::clamp(colours, 1, 256);
    std::vector<uint32_t> hist(32768, 0);
    for (int i = 0; i < count; ++i) ++hist[((bgr[i * 3 + 2] >> 3) << 10) | ((bgr[i * 3 + 1] >> 3) << 5) | (bgr[i * 3] >> 3)];
    std::vector<int> cells(32768);
    for (int i = 0; i < 32768; ++i) cells[i] = i;
    std::stable_sort(cells.begin(), cells.end(), [&](int a, int b) { return hist[a] > hist[b]; });
    int n = 0;
    for (; n < colours && hist[cells[n]]; ++n) {
        int c = cells[n];
        palette[n * 4] = uint8_t(((c & 31) << 3) | 4), palette[n * 4 + 1] = uint8_t((((c >> 5) & 31) << 3) | 4);
        palette[n * 4 + 2] = uint8_t(((c >> 10) << 3) | 4), palette[n * 4 + 3] = 0;
    }
    return n;
}
