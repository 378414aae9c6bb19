// JPEG through TurboJPEG: decoded to 24-bit images, encoded from 24-bit BGR.
#include <turbojpeg.h>

#include "ornix/Internal.h"

using namespace ornix;

extern "C" ORNIX_HANDLE LoadJPG(const char* path) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) return nullptr;
    if (data.size() < 3 || data[0] != 0xFF || data[1] != 0xD8) return SetError(ORNIX_ERR_NOT_FORMAT), nullptr;
    tjhandle tj = tjInitDecompress();
    if (!tj) return SetError(ORNIX_ERR_NO_MEMORY), nullptr;
    int w = 0, h = 0, sub = 0, cs = 0;
    ORNIX_HANDLE out = nullptr;
    if (tjDecompressHeader3(tj, data.data(), data.size(), &w, &h, &sub, &cs) != 0) {
        SetError(ORNIX_ERR_NOT_FORMAT);
    } else if (CheckSize(w, h)) {
        Image img;
        img.width = w, img.height = h, img.bits = 24;
        img.pixels.resize(size_t(w) * h * 3);
        int rc = tjDecompress2(tj, data.data(), data.size(), img.pixels.data(), w, w * 3, h, TJPF_BGR, 0);
        // Warnings (for instance a truncated tail) still leave a usable picture.
        if (rc == 0 || tjGetErrorCode(tj) == TJERR_WARNING)
            out = MakeHandle(img);
        else
            SetError(ORNIX_ERR_TRUNCATED);
    }
    tjDestroy(tj);
    return out;
}

extern "C" int SaveJPG(const char* path, ORNIX_HANDLE image, int quality) {
    Image img;
    if (!ReadHandleRgb(image, img)) return 0;
    quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    tjhandle tj = tjInitCompress();
    if (!tj) return SetError(ORNIX_ERR_NO_MEMORY), 0;
    unsigned char* buf = nullptr;
    unsigned long len = 0;
    int rc = tjCompress2(tj, img.pixels.data(), img.width, img.width * 3, img.height, TJPF_BGR, &buf, &len,
                         quality >= 90 ? TJSAMP_444 : TJSAMP_420, quality, TJFLAG_ACCURATEDCT);
    bool ok = false;
    if (rc == 0) {
        std::vector<uint8_t> out(buf, buf + len);
        ok = WriteFileAtomic(path, out);
    } else {
        SetError(ORNIX_ERR_NO_MEMORY);
    }
    tjFree(buf);
    tjDestroy(tj);
    return ok ? 1 : 0;
}
