// JPEG: decoded through TurboJPEG straight into the rows of a new 24-bit image
// handle; encoded through libjpeg straight from the rows of a 24- or 32-bit
// handle into the file, a 64 KB buffer at a time. Rows stay bottom-up as the
// handle stores them, so no pixel is copied or flipped on either side; other
// bit counts go through a conversion.
#include <turbojpeg.h>
// jpeglib.h needs FILE and size_t declared before it.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>

#include "ornix/Internal.h"
#include "platform/GlobalMemory.h"

using namespace ornix;

namespace {

// Rows of an uncompressed 24- or 32-bit handle, readable in place.
struct DirectRows {
    const uint8_t* rows = nullptr;
    int width = 0, height = 0, pitch = 0, format = TJPF_BGR;
    bool bottomUp = true;
};

// True when the block holds a 24-bit or plain 32-bit BMP image whose rows
// TurboJPEG can read as they are; every size is checked against the block.
bool ViewRows(const uint8_t* d, size_t size, DirectRows& v) {
    if (!d || size < 54 || d[0] != 'B' || d[1] != 'M' || Le32(d + 14) < 40) return false;
    const int32_t w = int32_t(Le32(d + 18)), h = int32_t(Le32(d + 22));
    const int bits = Le16(d + 28);
    const uint32_t comp = Le32(d + 30), off = Le32(d + 10);
    if (h == INT32_MIN || w <= 0 || h == 0 || w > kMaxSide || (h < 0 ? -h : h) > kMaxSide) return false;
    if (uint64_t(w) * uint64_t(h < 0 ? -h : h) > kMaxPixels) return false;
    bool plain32 = bits == 32 && (comp == 0 || (comp == 3 && size >= 66 && Le32(d + 54) == 0xFF0000 &&
                                                 Le32(d + 58) == 0xFF00 && Le32(d + 62) == 0xFF));
    if (!(bits == 24 && comp == 0) && !plain32) return false;
    const size_t pitch = ((size_t(w) * bits + 31) / 32) * 4;
    const int rows = h < 0 ? -h : h;
    if (off < 54 || off > size || size - off < pitch * rows) return false;
    v.rows = d + off;
    v.width = w, v.height = rows, v.pitch = int(pitch);
    v.format = bits == 24 ? TJPF_BGR : TJPF_BGRX;
    v.bottomUp = h > 0;
    return true;
}

// libjpeg's compressor writing straight into a file descriptor through a
// small buffer, so no picture-sized output buffer is ever allocated.
struct Sink {
    jpeg_destination_mgr pub;
    int fd;
    bool failed;
    uint8_t buf[1 << 16];
};

struct Failure {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void SinkInit(j_compress_ptr c) {
    auto* s = reinterpret_cast<Sink*>(c->dest);
    s->pub.next_output_byte = s->buf, s->pub.free_in_buffer = sizeof s->buf;
}
boolean SinkFlush(j_compress_ptr c) {
    auto* s = reinterpret_cast<Sink*>(c->dest);
    s->failed = s->failed || !WriteAll(s->fd, s->buf, sizeof s->buf);
    SinkInit(c);
    return TRUE;
}
void SinkTerm(j_compress_ptr c) {
    auto* s = reinterpret_cast<Sink*>(c->dest);
    s->failed = s->failed || !WriteAll(s->fd, s->buf, sizeof s->buf - s->pub.free_in_buffer);
}
void OnFailure(j_common_ptr c) { longjmp(reinterpret_cast<Failure*>(c->err)->jump, 1); }
void NoMessage(j_common_ptr) {}

// Compresses w x h rows (3 bytes B,G,R or 4 with a pad byte each, `pitch`
// apart, bottom row first when `bottomUp`) into fd with the accurate DCT,
// 4:4:4 from quality 90 and 4:2:0 below. False on any failure.
bool Compress(int fd, const uint8_t* rows, int w, int pitch, int h, int bytes, bool bottomUp, int quality) {
    jpeg_compress_struct c;
    Failure err;
    Sink sink;
    c.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnFailure, err.pub.output_message = NoMessage;
    sink.pub.init_destination = SinkInit, sink.pub.empty_output_buffer = SinkFlush, sink.pub.term_destination = SinkTerm;
    sink.fd = fd, sink.failed = false;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        return false;
    }
    jpeg_create_compress(&c);
    c.dest = &sink.pub;
    c.image_width = JDIMENSION(w), c.image_height = JDIMENSION(h);
    c.input_components = bytes, c.in_color_space = bytes == 3 ? JCS_EXT_BGR : JCS_EXT_BGRX;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (quality >= 90) c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
    c.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&c, TRUE);
    JSAMPROW batch[16];
    while (c.next_scanline < c.image_height) {
        JDIMENSION n = 0;
        for (; n < 16 && c.next_scanline + n < c.image_height; ++n) {
            const JDIMENSION y = c.next_scanline + n;
            batch[n] = const_cast<JSAMPROW>(rows + size_t(bottomUp ? JDIMENSION(h) - 1 - y : y) * pitch);
        }
        jpeg_write_scanlines(&c, batch, n);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return !sink.failed;
}

// Compresses into a new file beside path and renames it onto path; error set on failure.
bool Encode(const char* path, const uint8_t* rows, int w, int pitch, int h, int bytes, bool bottomUp, int quality) {
    if (!path || !*path) return SetError(ORNIX_ERR_WRITE), false;
    std::string tmp;
    const int fd = CreateTempBeside(path, tmp);
    if (fd < 0) return SetError(ORNIX_ERR_WRITE), false;
    return CommitTemp(fd, tmp, path, Compress(fd, rows, w, pitch, h, bytes, bottomUp, quality));
}

// True when an APP14 "Adobe" segment comes before the first frame: such
// files store CMYK inverted (0 = full ink), as Adobe's programs write them.
bool HasAdobeMarker(const std::vector<uint8_t>& d) {
    for (size_t i = 2; i + 4 <= d.size();) {
        if (d[i] != 0xFF) return false;
        const uint8_t m = d[i + 1];
        if (m == 0xFF) {
            ++i;
            continue;
        }
        if ((m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) || m == 0xDA) return false;
        const size_t len = (size_t(d[i + 2]) << 8) | d[i + 3];
        if (m == 0xEE && len >= 7 && i + 9 <= d.size() && std::memcmp(&d[i + 4], "Adobe", 5) == 0) return true;
        i += 2 + len;
    }
    return false;
}

// The failure code for TurboJPEG's last error: variants libjpeg does not
// decode (12-bit, lossless, arithmetic where absent) are "unsupported".
int ErrorCode(tjhandle tj, int otherwise) {
    const char* msg = tjGetErrorStr2(tj);
    return msg && std::strstr(msg, "Unsupported") ? ORNIX_ERR_UNSUPPORTED : otherwise;
}

// Decodes a CMYK or YCCK picture to CMYK and turns it into BGR rows with the
// usual naive conversion (R = (1 - C)(1 - K)), honouring Adobe's inversion.
bool DecodeCmyk(tjhandle tj, const std::vector<uint8_t>& data, int w, int h, uint8_t* rows, size_t pitch) {
    std::vector<uint8_t> cmyk;
    try {
        cmyk.resize(size_t(w) * h * 4);
    } catch (...) {
        return SetError(ORNIX_ERR_NO_MEMORY), false;
    }
    int rc = tjDecompress2(tj, data.data(), data.size(), cmyk.data(), w, w * 4, h, TJPF_CMYK, TJFLAG_BOTTOMUP);
    if (rc != 0 && tjGetErrorCode(tj) != TJERR_WARNING) return SetError(ErrorCode(tj, ORNIX_ERR_TRUNCATED)), false;
    const bool inverted = HasAdobeMarker(data);
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = &cmyk[size_t(y) * w * 4];
        uint8_t* o = rows + pitch * y;
        for (int x = 0; x < w; ++x, s += 4, o += 3) {
            const int k = inverted ? s[3] : 255 - s[3];
            for (int c = 0; c < 3; ++c) {
                const int v = inverted ? s[c] : 255 - s[c];
                o[2 - c] = uint8_t((v * k + 127) / 255);
            }
        }
    }
    return true;
}

// Decodes into a new 24-bit handle; null (error set) on failure.
ORNIX_HANDLE Decode(tjhandle tj, const std::vector<uint8_t>& data) {
    int w = 0, h = 0, sub = 0, cs = 0;
    // A warning (stray bytes before a marker) or an unusual sampling layout
    // still leaves the picture's size known and the picture decodable.
    if (tjDecompressHeader3(tj, data.data(), data.size(), &w, &h, &sub, &cs) != 0 && (w <= 0 || h <= 0))
        return SetError(ErrorCode(tj, ORNIX_ERR_NOT_FORMAT)), nullptr;
    if (!CheckSize(w, h) || !CheckDensity(uint64_t(w) * h, data.size())) return nullptr;
    uint8_t* rows = nullptr;
    size_t pitch = 0;
    ORNIX_HANDLE out = AllocHandle(w, h, 24, rows, pitch);
    if (!out) return nullptr;
    bool ok = true;
    if (cs == TJCS_CMYK || cs == TJCS_YCCK) {
        ok = DecodeCmyk(tj, data, w, h, rows, pitch);
    } else {
        int rc = tjDecompress2(tj, data.data(), data.size(), rows, w, int(pitch), h, TJPF_BGR, TJFLAG_BOTTOMUP);
        // Warnings (for instance a truncated tail) still leave a usable picture.
        if (rc != 0 && tjGetErrorCode(tj) != TJERR_WARNING) ok = false, SetError(ErrorCode(tj, ORNIX_ERR_TRUNCATED));
    }
    if (!ok) {
        plat::GlobalUnlock(out);
        plat::GlobalFree(out);
        return nullptr;
    }
    const size_t used = size_t(w) * 3;
    if (pitch > used)
        for (int y = 0; y < h; ++y) std::memset(rows + pitch * y + used, 0, pitch - used);
    plat::GlobalUnlock(out);
    return out;
}

}  // namespace

extern "C" ORNIX_HANDLE LoadJPG(const char* path) {
    std::vector<uint8_t> data;
    if (!ReadWholeFile(path, data)) return nullptr;
    if (data.size() < 3 || data[0] != 0xFF || data[1] != 0xD8) return SetError(ORNIX_ERR_NOT_FORMAT), nullptr;
    tjhandle tj = tjInitDecompress();
    if (!tj) return SetError(ORNIX_ERR_NO_MEMORY), nullptr;
    ORNIX_HANDLE out = Decode(tj, data);
    tjDestroy(tj);
    return out;
}

extern "C" int SaveJPG(const char* path, ORNIX_HANDLE image, int quality) {
    quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    DirectRows v;
    auto* d = static_cast<const uint8_t*>(plat::GlobalLock(image));
    if (ViewRows(d, plat::GlobalSize(image), v)) {
        bool ok = Encode(path, v.rows, v.width, v.pitch, v.height, v.format == TJPF_BGR ? 3 : 4, v.bottomUp, quality);
        plat::GlobalUnlock(image);
        return ok ? 1 : 0;
    }
    if (d) plat::GlobalUnlock(image);
    Image img;
    if (!ReadHandleRgb(image, img)) return 0;
    return Encode(path, img.pixels.data(), img.width, img.width * 3, img.height, 3, false, quality) ? 1 : 0;
}
