// CDibImage: loading through the codec library, header reading and saving.
#include "common/DibImage.h"

#include <stdlib.h>
#include <unistd.h>

#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "common/DibLayout.h"
#include "common/Orientation.h"
#include "ornix/Ornix.h"
#include "platform/Paths.h"

using namespace dib;

namespace {

bool KnownBits(int32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// 2^bits, times 2^(planes - 1) for more than one plane; 0 from 16 bits up.
int32_t ColourCount(int32_t bits, int32_t planes) {
    if (bits >= 16 || bits <= 0) return 0;
    int64_t n = int64_t(1) << bits;
    if (planes > 1) n <<= (planes - 1 > 8 ? 8 : planes - 1);
    return int32_t(n);
}

// Save type from the last four characters of the path; -1 when none matches.
int32_t TypeFromExtension(const std::string& path) {
    static const char* const kExt[] = {".JPG", ".BMP", ".GIF", ".PCX", ".TGA", ".TIF"};
    if (path.size() < 4) return DIB_SAVE_BY_EXTENSION;
    const char* tail = path.c_str() + path.size() - 4;
    for (int i = 0; i < 6; ++i)
        if (strcasecmp(tail, kExt[i]) == 0) return i + 1;
    return DIB_SAVE_BY_EXTENSION;
}

std::function<void(const char*)>& Sink() {
    static std::function<void(const char*)> sink;
    return sink;
}

}  // namespace

int64_t DibStride(int32_t bits, int32_t width) {
    int64_t w = width, s;
    switch (bits) {
    case 1: s = (w + 7) / 8; break;
    case 4: s = (w + 1) / 2; break;
    case 8: s = w; break;
    case 16: s = 2 * w; break;
    case 24: s = 3 * w; break;
    case 32: s = 4 * w; break;
    default: s = w; break;
    }
    return (s + 3) / 4 * 4;
}

CDibImage::CDibImage(Kind kind) : kind_(kind) { (void)paletteMethod_; }

CDibImage::~CDibImage() { plat::GlobalFree(block_); }

void CDibImage::Empty() {
    block_ = plat::GlobalFree(block_);
    colourTableCopy_.clear();
    fileName_.clear();
    palette_.reset();
}

std::string CDibImage::TempPath() {
    const std::string dir = plat::StateDir();
    return dir.empty() ? std::string() : dir + "~temp";
}

void CDibImage::SetMessageSink(std::function<void(const char*)> sink) { Sink() = std::move(sink); }

void CDibImage::Tell(const char* text) {
    if (Sink())
        Sink()(text);
    else
        ShowMessage(text);
}

bool CDibImage::Load(const std::string& path) {
    Empty();
    fileType_ = ::FileType(path.c_str());
    if (fileType_ == ORNIX_TYPE_NONE) {
        lastError_ = DIB_ERR_TYPE;
        return false;
    }
    fileName_ = path;
    if (!LoadBlock(path)) {
        lastError_ = GetLastVexilError();
        return false;
    }
    if (!ReadHeader()) return false;
    // The JPEG reader gives the rows as stored; a camera's orientation tag
    // says how to show them. Without memory for the turn, the stored picture.
    if (fileType_ == ORNIX_TYPE_JPEG) TurnUpright(orient::JpegFileOrientation(path));
    return true;
}

bool CDibImage::Load(const std::string& path, wxDC* dc, int x, int y) {
    if (!Load(path)) return false;
    if (dc) Draw(*dc, x, y);
    return true;
}

// Fetches the pixel block for the stored file type; false when the codec failed.
bool CDibImage::LoadBlock(const std::string& path) {
    const char* p = path.c_str();
    switch (fileType_) {
    case ORNIX_TYPE_BMP: block_ = LoadBMP(p); break;
    case ORNIX_TYPE_GIF: block_ = LoadGIF(p); break;
    case ORNIX_TYPE_PCX: block_ = LoadPCX(p); break;
    case ORNIX_TYPE_TGA: block_ = LoadTGA(p); break;
    case ORNIX_TYPE_JPEG: block_ = LoadJPG(p); break;
    case ORNIX_TYPE_TIFF: block_ = LoadTIF(p); break;
    default: block_ = nullptr; break;
    }
    if (!block_ || fileType_ != ORNIX_TYPE_BMP || kind_ != Kind::Browser) return block_ != nullptr;
    // Browser: show a BMP as the JPEG reader gives it back. When the temporary
    // JPEG cannot be written, the BMP itself is kept.
    // Each load has a file of its own ("~temp.XXXXXX", removed after), so
    // loads at the same time in other threads or processes never swap
    // pictures.
    std::string temp = TempPath();
    if (temp.empty()) return true;
    temp += ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return true;
    ::close(fd);
    if (!SaveJPG(temp.c_str(), block_, 100)) {
        ::unlink(temp.c_str());
        return true;
    }
    block_ = plat::GlobalFree(block_);
    block_ = LoadJPG(temp.c_str());
    ::unlink(temp.c_str());
    return block_ != nullptr;
}

// Reads the size fields from the block and checks that the block holds every
// row they promise; a block that does not is refused (freed, codec's
// bad-handle code) so no later operation reads past its end.
bool CDibImage::ReadHeader() {
    auto* d = static_cast<uint8_t*>(plat::GlobalLock(block_));
    if (!d) {
        block_ = plat::GlobalFree(block_);
        lastError_ = DIB_ERR_LOCK;
        return false;
    }
    const size_t size = plat::GlobalSize(block_);
    const int32_t w = size >= kHeaders ? int32_t(Le32(d + 18)) : 0, h = size >= kHeaders ? int32_t(Le32(d + 22)) : 0;
    const int32_t planes = size >= kHeaders ? Le16(d + 26) : 0, bits = size >= kHeaders ? Le16(d + 28) : 0;
    const int32_t colours = ColourCount(bits, planes), table = bits <= 8 ? 4 * colours : 0;
    const bool fits = w > 0 && h > 0 && KnownBits(bits) &&
                      uint64_t(kHeaders) + table + uint64_t(DibStride(bits, w)) * uint64_t(h) <= size;
    if (!fits) {
        plat::GlobalUnlock(block_);
        block_ = plat::GlobalFree(block_);
        lastError_ = ORNIX_ERR_BAD_HANDLE;
        return false;
    }
    width_ = w, height_ = h, planes_ = planes, bitCount_ = bits;
    colours_ = colours, colourTableSize_ = table;
    Put32(d + 38, 0);
    Put32(d + 42, 0);
    QueryScreen();
    bool ok = true;
    if (bitCount_ <= 8 && screenBitsPerPixel_ < 16 && !BuildPalette(d + kHeaders)) {
        lastError_ = DIB_ERR_PALETTE;
        ok = false;
    }
    plat::GlobalUnlock(block_);
    return ok;
}

bool CDibImage::Save(const std::string& path, int32_t type) {
    if (type == DIB_SAVE_BY_EXTENSION) type = TypeFromExtension(path);
    if (type < DIB_SAVE_JPG || type > DIB_SAVE_TIF) return false;
    if (!block_) {
        lastError_ = DIB_ERR_EMPTY;
        return false;
    }
    fileType_ = type;
    fileName_ = path;
    const char* p = path.c_str();
    switch (type) {
    case DIB_SAVE_JPG: return SaveJPG(p, block_, jpegQuality_) != 0;
    case DIB_SAVE_BMP: return SaveBmp(path);
    case DIB_SAVE_GIF: return SaveGIF(p, block_) != 0;
    case DIB_SAVE_PCX: return SavePCX(p, block_) != 0;
    case DIB_SAVE_TGA: return SaveTGA(p, block_) != 0;
    default: return SaveTIF(p, block_) != 0;
    }
}

// A BMP save is checked on disk: a file of no more than the headers is removed.
// Any failure is told to the user and reported as such.
bool CDibImage::SaveBmp(const std::string& path) {
    bool ok = SaveBMP(path.c_str(), block_) != 0;
    if (ok) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && st.st_size <= off_t(kHeaders)) {
            std::remove(path.c_str());
            ok = false;
        }
    }
    if (!ok) Tell("Saving image as Bmp file failed!");
    return ok;
}
