// GIF through giflib: the first frame is read as an 8-bit indexed image;
// writing reduces colours with median cut when there are more than 256.
#include <gif_lib.h>

#include <cstring>

#include "ornix/Internal.h"
#include "ornix/Quantise.h"

using namespace ornix;

namespace {

struct Reader {
    const std::vector<uint8_t>* data;
    size_t pos;
};

int ReadMem(GifFileType* g, GifByteType* buf, int n) {
    auto* r = static_cast<Reader*>(g->UserData);
    size_t left = r->data->size() - r->pos;
    size_t k = std::min(left, size_t(n > 0 ? n : 0));
    std::memcpy(buf, r->data->data() + r->pos, k);
    r->pos += k;
    return int(k);
}

int WriteMem(GifFileType* g, const GifByteType* buf, int n) {
    static_cast<std::vector<uint8_t>*>(g->UserData)->insert(static_cast<std::vector<uint8_t>*>(g->UserData)->end(), buf, buf + n);
    return n;
}

ORNIX_HANDLE FromGif(GifFileType* g) {
    if (g->ImageCount < 1) return SetError(ORNIX_ERR_TRUNCATED), nullptr;
    if (!CheckSize(g->SWidth, g->SHeight)) return nullptr;
    const SavedImage& f = g->SavedImages[0];
    const ColorMapObject* map = f.ImageDesc.ColorMap ? f.ImageDesc.ColorMap : g->SColorMap;
    if (!map || !f.RasterBits) return SetError(ORNIX_ERR_UNSUPPORTED), nullptr;
    Image img;
    img.width = g->SWidth, img.height = g->SHeight, img.bits = 8;
    img.palette.assign(256, 0);
    for (int i = 0; i < map->ColorCount && i < 256; ++i)
        img.palette[i] = (uint32_t(map->Colors[i].Red) << 16) | (uint32_t(map->Colors[i].Green) << 8) | map->Colors[i].Blue;
    int bg = g->SBackGroundColor >= 0 && g->SBackGroundColor < 256 ? g->SBackGroundColor : 0;
    img.pixels.assign(size_t(img.width) * img.height, uint8_t(bg));
    const GifImageDesc& d = f.ImageDesc;
    for (int y = 0; y < d.Height; ++y)
        for (int x = 0; x < d.Width; ++x) {
            long tx = long(d.Left) + x, ty = long(d.Top) + y;
            if (tx < 0 || ty < 0 || tx >= img.width || ty >= img.height) continue;
            img.pixels[size_t(ty) * img.width + tx] = f.RasterBits[size_t(y) * d.Width + x];
        }
    return MakeHandle(img);
}

}  // namespace

extern "C" ORNIX_HANDLE LoadGIF(const char* path) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) return nullptr;
    if (data.size() < 13 || std::memcmp(data.data(), "GIF8", 4) != 0) return SetError(ORNIX_ERR_NOT_FORMAT), nullptr;
    // The logical screen size is checked before giflib allocates anything for it.
    if (!CheckSize(Le16(&data[6]), Le16(&data[8]))) return nullptr;
    Reader r{&data, 0};
    int err = 0;
    GifFileType* g = DGifOpen(&r, ReadMem, &err);
    if (!g) return SetError(ORNIX_ERR_NOT_FORMAT), nullptr;
    ORNIX_HANDLE out = nullptr;
    if (DGifSlurp(g) == GIF_OK || g->ImageCount > 0)
        out = FromGif(g);
    else
        SetError(ORNIX_ERR_TRUNCATED);
    DGifCloseFile(g, &err);
    return out;
}

namespace {

bool EncodeGif(const Image& img, std::vector<uint8_t>& out) {
    std::vector<uint32_t> palette;
    std::vector<uint8_t> idx;
    if (img.Indexed()) {
        palette = img.palette;
        idx = img.pixels;
    } else {
        Quantise(img.pixels.data(), size_t(img.width) * img.height, palette, idx);
    }
    palette.resize(256, 0);
    int err = 0;
    GifFileType* g = EGifOpen(&out, WriteMem, &err);
    if (!g) return false;
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    bool ok = map != nullptr;
    if (ok) {
        for (int i = 0; i < 256; ++i)
            map->Colors[i] = GifColorType{uint8_t(palette[i] >> 16), uint8_t(palette[i] >> 8), uint8_t(palette[i])};
        EGifSetGifVersion(g, true);
        ok = EGifPutScreenDesc(g, img.width, img.height, 8, 0, map) == GIF_OK &&
             EGifPutImageDesc(g, 0, 0, img.width, img.height, false, nullptr) == GIF_OK;
        for (int y = 0; ok && y < img.height; ++y) ok = EGifPutLine(g, &idx[size_t(y) * img.width], img.width) == GIF_OK;
        GifFreeMapObject(map);
    }
    return EGifCloseFile(g, &err) == GIF_OK && ok;
}

}  // namespace

extern "C" int SaveGIF(const char* path, ORNIX_HANDLE image) {
    Image img;
    if (!ReadHandle(image, img)) return 0;
    std::vector<uint8_t> out;
    if (!EncodeGif(img, out)) return SetError(ORNIX_ERR_NO_MEMORY), 0;
    return WriteFileAtomic(path, out) ? 1 : 0;
}
