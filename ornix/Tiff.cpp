// TIFF through libtiff: the first picture is read as 24-bit (TiffRead.cpp);
// written as 24-bit RGB with LZW compression.
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>

#include "ornix/Internal.h"
#include "ornix/TiffRead.h"

using namespace ornix;

namespace {
void Quiet(const char*, const char*, va_list) {}
}

extern "C" ORNIX_HANDLE LoadTIF(const char* path) {
    std::vector<uint8_t> probe;
    if (!ReadWholeFile(path, probe)) return nullptr;
    if (probe.size() < 8 || !((probe[0] == 'I' && probe[1] == 'I') || (probe[0] == 'M' && probe[1] == 'M')))
        return SetError(ORNIX_ERR_NOT_FORMAT), nullptr;
    TIFFSetErrorHandler(Quiet);
    TIFFSetWarningHandler(Quiet);
    TIFF* t = TIFFOpen(path, "r");
    if (!t) return SetError(ORNIX_ERR_NOT_FORMAT), nullptr;
    Image img;
    ORNIX_HANDLE out = DecodeTiff(t, probe.size(), img) ? MakeHandle(img) : nullptr;
    TIFFClose(t);
    return out;
}

extern "C" int SaveTIF(const char* path, ORNIX_HANDLE image) {
    Image img;
    if (!ReadHandleRgb(image, img) || !path) return 0;
    std::string tmp;
    int fd = CreateTempBeside(path, tmp);
    if (fd < 0) return SetError(ORNIX_ERR_WRITE), 0;
    TIFFSetErrorHandler(Quiet);
    const int tfd = dup(fd);
    TIFF* t = tfd >= 0 ? TIFFFdOpen(tfd, tmp.c_str(), "w") : nullptr;
    if (!t && tfd >= 0) close(tfd);
    bool ok = t != nullptr;
    if (ok) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(img.width));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(img.height));
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
        std::vector<uint8_t> row(size_t(img.width) * 3);
        for (int y = 0; ok && y < img.height; ++y) {
            const uint8_t* s = &img.pixels[size_t(y) * img.width * 3];
            for (int x = 0; x < img.width; ++x) row[x * 3] = s[x * 3 + 2], row[x * 3 + 1] = s[x * 3 + 1], row[x * 3 + 2] = s[x * 3];
            ok = TIFFWriteScanline(t, row.data(), uint32_t(y), 0) == 1;
        }
        ok = TIFFFlush(t) == 1 && ok;
        // The descriptor outlives TIFFClose (libtiff closes its own duplicate) for the commit.
        TIFFClose(t);
    }
    return CommitTemp(fd, tmp, path, ok) ? 1 : 0;
}
