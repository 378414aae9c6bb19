// CDibImage: one decoded image held as a packed device-independent bitmap
// (an image handle from the codec library: a whole BMP file image, rows
// bottom-up), with load, save, nearest-neighbour scaling in place and drawing
// on a wxDC. Failures are return values; the last one is kept in LastError().
//
// The browser kind sends a loaded BMP file once through JPEG (quality 100,
// via a temporary file "~temp.XXXXXX" of its own in the private state folder,
// removed after) so every image
// it shows is what the JPEG reader gives; the viewer kind keeps BMP files as
// they are and may draw right after loading. Both turn a JPEG file stored
// with an EXIF orientation upright as it loads.
//
// One thread only. The object owns its pixel block; PixelBlock() lends it.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/GlobalMemory.h"

class wxDC;
class wxImage;
class wxPalette;

// Last-error codes set by the image object itself; other values are the
// codec library's own codes (GetLastVexilError).
enum : int32_t {
    DIB_ERR_TYPE = -200,     // file type not recognised
    DIB_ERR_EMPTY = -201,    // the object holds no image
    DIB_ERR_LOCK = -51,      // locking the pixel block failed
    DIB_ERR_ALLOC = -50,     // allocating a new block failed
    DIB_ERR_PALETTE = -202,  // building the palette failed
    DIB_ERR_DRAW = -204,     // drawing did not output every row
};

// Save types: the numbers of the Save As list, also given by the extension.
enum : int32_t {
    DIB_SAVE_BY_EXTENSION = -1,
    DIB_SAVE_JPG = 1,
    DIB_SAVE_BMP = 2,
    DIB_SAVE_GIF = 3,
    DIB_SAVE_PCX = 4,
    DIB_SAVE_TGA = 5,
    DIB_SAVE_TIF = 6,
};

class CDibImage {
public:
    enum class Kind { Browser, Viewer };

    explicit CDibImage(Kind kind = Kind::Browser);
    ~CDibImage();
    CDibImage(const CDibImage&) = delete;
    CDibImage& operator=(const CDibImage&) = delete;

    // Frees the image, the file name and the palette; the size fields keep
    // their last values.
    void Empty();
    // True when an image was loaded. A failed load leaves the object empty.
    bool Load(const std::string& path);
    // Viewer form: loads, then draws at x, y when dc is given.
    bool Load(const std::string& path, wxDC* dc, int x, int y);
    // type DIB_SAVE_BY_EXTENSION takes the type from the last four characters
    // of the path (".JPG", ".BMP", ... in any case). True when written.
    bool Save(const std::string& path, int32_t type = DIB_SAVE_BY_EXTENSION);
    // Nearest-neighbour scaling in place; true when done or nothing to do.
    bool Scale(int32_t newWidth, int32_t newHeight);
    // Draws the image at its own size; x or y of -1 keeps the last position.
    // True when every row was drawn.
    bool Draw(wxDC& dc, int32_t x = -1, int32_t y = -1);
    // The image as 24-bit RGB; false when the object is empty.
    bool ToImage(wxImage& out) const;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t BitCount() const { return bitCount_; }
    int32_t Colours() const { return colours_; }
    int32_t Planes() const { return planes_; }
    int32_t ColourTableSize() const { return colourTableSize_; }
    int32_t FileType() const { return fileType_; }
    int32_t LastError() const { return lastError_; }
    int32_t JpegQuality() const { return jpegQuality_; }
    void SetJpegQuality(int32_t quality) { jpegQuality_ = quality; }
    int32_t X() const { return x_; }
    int32_t Y() const { return y_; }
    bool HasPalette() const { return palette_ != nullptr; }
    // The image handle, still owned by this object; null when empty.
    plat::HGLOBAL PixelBlock() const { return block_; }
    const std::string& FileName() const { return fileName_; }

    // The name the browser kind's JPEG round trip gives its temporary files
    // (each load adds a unique suffix).
    static std::string TempPath();
    // Receives the user-facing failure texts (default: a message box when a
    // GUI application runs, else nothing). Tests install their own.
    static void SetMessageSink(std::function<void(const char*)> sink);

private:
    struct PaletteDeleter {
        void operator()(wxPalette* p) const;
    };

    bool LoadBlock(const std::string& path);
    bool ReadHeader();
    // Turns a picture stored with an EXIF orientation (2..8) upright; false
    // when it stays as stored (bit counts below 8, no memory).
    bool TurnUpright(int orientation);
    void QueryScreen();
    bool BuildPalette(const uint8_t* table);
    bool SaveBmp(const std::string& path);
    static void Tell(const char* text);
    static void ShowMessage(const char* text);

    Kind kind_;
    int32_t lastError_ = 0;
    int32_t screenPlanes_ = 0;
    int32_t screenBitsPerPixel_ = 0;
    int32_t colourTableSize_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t planes_ = 0;
    int32_t bitCount_ = 0;
    int32_t colours_ = 0;
    int32_t fileType_ = 0;
    int32_t x_ = 0, y_ = 0;
    int32_t jpegQuality_ = 100;
    int32_t paletteMethod_ = 2;  // reserved for colour reduction
    std::unique_ptr<wxPalette, PaletteDeleter> palette_;
    plat::HGLOBAL block_ = nullptr;
    std::string fileName_;
    std::vector<uint8_t> colourTableCopy_;  // reserved for colour reduction
};

// Row size in bytes of a bit count and width, padded to a multiple of 4.
int64_t DibStride(int32_t bits, int32_t width);
