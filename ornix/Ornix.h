// Image file codec: reads and writes BMP, GIF, PCX, TGA, JPEG and TIFF files.
//
// Images travel as image handles: movable memory blocks (platform/GlobalMemory.h)
// holding a complete BMP file image: 14-byte file header, 40-byte info header,
// a colour table of 4-byte entries (blue, green, red, 0) for 8 bits or less,
// then the rows bottom-up, each padded to a multiple of 4 bytes.
//
// Ownership: a handle returned by a Load function belongs to the caller, who
// frees it with plat::GlobalFree. A Save function never takes the handle over.
//
// Limits: images wider or taller than 30000 pixels, or with more than 2^28
// pixels, are refused before any pixel memory is allocated.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef void* ORNIX_HANDLE;

// File type codes returned by FileType (decided by content, not by name).
enum {
    ORNIX_TYPE_NONE = 0,
    ORNIX_TYPE_BMP = 1,
    ORNIX_TYPE_GIF = 2,
    ORNIX_TYPE_PCX = 3,
    ORNIX_TYPE_TGA = 4,
    ORNIX_TYPE_JPEG = 5,
    ORNIX_TYPE_TIFF = 6,
};

// Error codes reported by GetLastVexilError for the last failure in this thread.
enum {
    ORNIX_OK = 0,
    ORNIX_ERR_NO_FILE = 1,       // the file does not exist or cannot be opened
    ORNIX_ERR_NOT_FORMAT = 2,    // the content is not of the expected format
    ORNIX_ERR_TRUNCATED = 3,     // the file ends before its data does
    ORNIX_ERR_UNSUPPORTED = 4,   // a variant of the format this library does not handle
    ORNIX_ERR_NO_MEMORY = 5,     // out of memory
    ORNIX_ERR_WRITE = 6,         // the output file could not be written completely
    ORNIX_ERR_TOO_LARGE = 7,     // dimensions beyond the limits above
    ORNIX_ERR_BAD_HANDLE = 8,    // a null handle or one not holding a valid BMP image
};

int FileType(const char* path);

ORNIX_HANDLE LoadBMP(const char* path);
ORNIX_HANDLE LoadGIF(const char* path);
ORNIX_HANDLE LoadPCX(const char* path);
ORNIX_HANDLE LoadTGA(const char* path);
ORNIX_HANDLE LoadJPG(const char* path);
ORNIX_HANDLE LoadTIF(const char* path);

int GetLastVexilError(void);

// Each returns nonzero when the whole file was written. Files are written to a
// temporary name beside the target and renamed, so a failure leaves no partial file.
int SaveJPG(const char* path, ORNIX_HANDLE image, int quality);
int SaveBMP(const char* path, ORNIX_HANDLE image);
int SaveGIF(const char* path, ORNIX_HANDLE image);
int SavePCX(const char* path, ORNIX_HANDLE image);
int SaveTGA(const char* path, ORNIX_HANDLE image);
int SaveTIF(const char* path, ORNIX_HANDLE image);

// Information readers: width, height, bit count, planes and colour-table size
// (0 above 8 bits) of the file's image. Nonzero on success.
int GetBMPInfo(const char* path, int* width, int* height, int* bits, int* planes, int* colours);
int GetGIFInfo(const char* path, int* width, int* height, int* bits, int* planes, int* colours);
int GetPCXInfo(const char* path, int* width, int* height, int* bits, int* planes, int* colours);
int GetTGAInfo(const char* path, int* width, int* height, int* bits, int* planes, int* colours);
int GetJPGInfo(const char* path, int* width, int* height, int* bits, int* planes, int* colours);
int GetTIFInfo(const char* path, int* width, int* height, int* bits, int* planes, int* colours);

// Colour reducers. Both fill `palette` with up to `colours` (1..256) entries of
// 4 bytes (blue, green, red, 0) and return how many they made.
// MedianCut: from a 32x32x32 histogram, index (r>>3)<<10 | (g>>3)<<5 | (b>>3).
int MedianCut(const unsigned int* histogram, unsigned char* palette, int colours);
// Popularity: the most frequent 15-bit colours of `count` B,G,R pixels.
int Popularity(const unsigned char* bgr, int count, unsigned char* palette, int colours);

#ifdef __cplusplus
}
#endif
