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

// Copies decoded frame rows onto the screen-sized canvas; rows and pixels
// outside the screen are dropped.
void PutRow(Image& img, const GifImageDesc& d, long y, const std::vector<GifPixelType>& row) {
    long ty = long(d.Top) + y;
    if (ty < 0 || ty >= img.height) return;
    uint8_t* out = &img.pixels[size_t(ty) * img.width];
    for (long x = 0; x < d.Width; ++x) {
        long tx = long(d.Left) + x;
        if (tx >= 0 && tx < img.width) out[tx] = row[size_t(x)];
    }
}

// Decodes the current frame (its descriptor just read) row by row into the
// canvas. Only one row of the frame is held, whatever size the frame declares,
// and decoding ends where the data ends (the rows read so far are kept) or,
// for a frame stored top to bottom, where it leaves the screen.
ORNIX_HANDLE ReadFrame(GifFileType* g) {
    const GifImageDesc& d = g->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : g->SColorMap;
    Image img;
    img.width = g->SWidth, img.height = g->SHeight, img.bits = 8;
    img.palette.assign(256, 0);
    // Without any colour table the indices are shown as shades of grey.
    if (!map)
        for (uint32_t i = 0; i < 256; ++i) img.palette[i] = i * 0x010101u;
    for (int i = 0; map && i < map->ColorCount && i < 256; ++i)
        img.palette[i] = (uint32_t(map->Colors[i].Red) << 16) | (uint32_t(map->Colors[i].Green) << 8) | map->Colors[i].Blue;
    int bg = g->SBackGroundColor >= 0 && g->SBackGroundColor < 256 ? g->SBackGroundColor : 0;
    img.pixels.assign(size_t(img.width) * img.height, uint8_t(bg));
    if (d.Width > 0 && d.Height > 0) {
        std::vector<GifPixelType> row(size_t(d.Width));
        static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        bool more = true;
        for (int pass = 0; more && pass < (d.Interlace ? 4 : 1); ++pass)
            for (long y = d.Interlace ? kStart[pass] : 0; more && y < d.Height; y += d.Interlace ? kStep[pass] : 1) {
                if (!d.Interlace && long(d.Top) + y >= img.height) more = false;
                else if (DGifGetLine(g, row.data(), d.Width) != GIF_OK) more = false;
                else PutRow(img, d, y, row);
            }
    }
    return MakeHandle(img);
}

// Skips extensions up to the first frame and decodes it; later frames are
// never read.
ORNIX_HANDLE FirstFrame(GifFileType* g) {
    GifRecordType type;
    while (DGifGetRecordType(g, &type) == GIF_OK) {
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(g) != GIF_OK) break;
            return ReadFrame(g);
        }
        if (type == TERMINATE_RECORD_TYPE) break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(g, &code, &ext) != GIF_OK) break;
            while (ext)
                if (DGifGetExtensionNext(g, &ext) != GIF_OK) return SetError(ORNIX_ERR_TRUNCATED), nullptr;
        }
    }
    return SetError(ORNIX_ERR_TRUNCATED), nullptr;
}

}  // namespace

extern "C" ORNIX_HANDLE LoadGIF(const char* path) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) return nullptr;
    if (data.size() < 13 || std::memcmp(data.data(), "GIF8", 4) != 0) return SetError(ORNIX_ERR_NOT_FORMAT), nullptr;
    // The logical screen size is checked before anything is allocated for it.
    if (!CheckSize(Le16(&data[6]), Le16(&data[8])) || !CheckDensity(uint64_t(Le16(&data[6])) * Le16(&data[8]), data.size())) return nullptr;
    Reader r{&data, 0};
    int err = 0;
    GifFileType* g = DGifOpen(&r, ReadMem, &err);
    if (!g) return SetError(ORNIX_ERR_NOT_FORMAT), nullptr;
    ORNIX_HANDLE out = FirstFrame(g);
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
