// TIFF reading through libtiff. Grey, palette, RGB, CMYK and CIELab pictures
// of any sample size (1 to 32 bits, signed, 16/32/64-bit floating point),
// packed or planar, in strips or tiles, are unpacked here from the decoded
// samples; other photometric kinds (YCbCr, LogLuv, ...) go through libtiff's
// RGBA reader. Either way the rows come out in stored order and the
// Orientation tag is applied last, all eight values.
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ornix/Internal.h"
#include "ornix/TiffRead.h"

namespace ornix {
namespace {

struct Layout {
    uint32_t w = 0, h = 0;
    uint16_t bps = 1, spp = 1, format = SAMPLEFORMAT_UINT, photo = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG;
    uint16_t inkset = INKSET_CMYK, alpha = EXTRASAMPLE_UNSPECIFIED;
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    uint16_t subX = 2, subY = 2;             // YCbCr chroma subsampling
    float luma[3] = {0.299f, 0.587f, 0.114f};  // YCbCr coefficients
    float refBW[6] = {0, 255, 128, 255, 128, 255};
};

// The decoded samples of the whole picture: one buffer per plane, rows of
// `rowBytes` bytes each.
struct Samples {
    std::vector<std::vector<uint8_t>> planes;
    size_t rowBytes = 0;
    int perPlane = 1;  // samples per pixel in each plane
};

float HalfToFloat(uint16_t h) {
    const int e = (h >> 10) & 31, m = h & 1023;
    const float s = (h & 0x8000) ? -1.f : 1.f;
    if (e == 0) return s * std::ldexp(float(m), -24);
    if (e == 31) return m ? 0.f : s * 65504.f;
    return s * std::ldexp(float(m + 1024), e - 25);
}

// Sample `s` (within its plane) of pixel x of a row, scaled to 0..1.
double SampleAt(const Layout& L, const uint8_t* row, int perPlane, uint32_t x, int s) {
    const uint64_t index = uint64_t(x) * perPlane + s;
    const int b = L.bps;
    if (L.format == SAMPLEFORMAT_IEEEFP) {
        double v = 0;
        if (b == 16) { uint16_t h; std::memcpy(&h, row + index * 2, 2); v = HalfToFloat(h); }
        else if (b == 32) { float f; std::memcpy(&f, row + index * 4, 4); v = f; }
        else { std::memcpy(&v, row + index * 8, 8); }
        return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0);
    }
    uint64_t v = 0;
    if (b == 8) v = row[index];
    else if (b == 16) { uint16_t t; std::memcpy(&t, row + index * 2, 2); v = t; }
    else if (b == 32) { uint32_t t; std::memcpy(&t, row + index * 4, 4); v = t; }
    else if (b == 24) { const uint8_t* p = row + index * 3; v = p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16); }
    else {  // packed most significant bit first
        const uint64_t bit = index * b;
        for (int i = 0; i < b; ++i) v = (v << 1) | ((row[(bit + i) >> 3] >> (7 - ((bit + i) & 7))) & 1);
    }
    const double max = double((uint64_t(1) << b) - 1);
    if (L.format == SAMPLEFORMAT_INT) v ^= uint64_t(1) << (b - 1);  // signed: -2^(b-1) shows as black
    return double(v) / max;
}

uint64_t RawIndex(const Layout& L, const uint8_t* row, uint32_t x) {
    const uint64_t bit = uint64_t(x) * L.spp * L.bps;
    if (L.bps == 8) return row[x * L.spp];
    if (L.bps == 16) { uint16_t t; std::memcpy(&t, row + bit / 8, 2); return t; }
    uint64_t v = 0;
    for (int i = 0; i < L.bps; ++i) v = (v << 1) | ((row[(bit + i) >> 3] >> (7 - ((bit + i) & 7))) & 1);
    return v;
}

uint8_t To8(double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

// CIE L*a*b* (8-bit: L 0..255 for 0..100, a and b signed) to sRGB, white D65.
void LabToBgr(double L, double a, double b, uint8_t* o) {
    auto f = [](double t) { return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29); };
    const double fy = (L + 16) / 116, X = 0.950456 * f(fy + a / 500), Y = f(fy), Z = 1.088754 * f(fy - b / 200);
    const double rgb[3] = {3.2404542 * X - 1.5371385 * Y - 0.4985314 * Z, -0.9692660 * X + 1.8760108 * Y + 0.0415560 * Z,
                           0.0556434 * X - 0.2040259 * Y + 1.0572252 * Z};
    for (int c = 0; c < 3; ++c) {
        const double v = rgb[c] <= 0.0031308 ? 12.92 * rgb[c] : 1.055 * std::pow(std::max(rgb[c], 0.0), 1 / 2.4) - 0.055;
        o[2 - c] = To8(v);
    }
}

bool Handled(const Layout& L) {
    const bool bitsOk = L.format == SAMPLEFORMAT_IEEEFP ? (L.bps == 16 || L.bps == 32 || L.bps == 64)
                        : (L.format == SAMPLEFORMAT_UINT || L.format == SAMPLEFORMAT_INT) && L.bps >= 1 && L.bps <= 32;
    if (!bitsOk || L.spp < 1) return false;
    switch (L.photo) {
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MINISWHITE: return true;
        case PHOTOMETRIC_PALETTE: return L.format == SAMPLEFORMAT_UINT && L.bps <= 16 && L.red && L.green && L.blue;
        case PHOTOMETRIC_RGB: return L.spp >= 3;
        case PHOTOMETRIC_SEPARATED: return L.spp >= 4 && L.inkset == INKSET_CMYK;
        case PHOTOMETRIC_CIELAB: return L.spp >= 3 && L.bps == 8 && L.format == SAMPLEFORMAT_UINT;
        // Subsampled YCbCr is packed in blocks: libtiff's reader takes it.
        case PHOTOMETRIC_YCBCR: return L.spp >= 3 && L.bps == 8 && L.format == SAMPLEFORMAT_UINT && L.subX == 1 && L.subY == 1;
        default: return false;
    }
}

// Reads every strip or tile into whole rows per plane; false (error set) on failure.
bool ReadSamples(TIFF* t, const Layout& L, Samples& S) {
    const int planes = L.planar == PLANARCONFIG_SEPARATE ? L.spp : 1;
    S.perPlane = planes == 1 ? L.spp : 1;
    S.rowBytes = (uint64_t(L.w) * S.perPlane * L.bps + 7) / 8;
    try {
        S.planes.assign(planes, std::vector<uint8_t>(S.rowBytes * L.h, 0));
    } catch (...) {
        return SetError(ORNIX_ERR_NO_MEMORY), false;
    }
    const bool tiled = TIFFIsTiled(t);
    uint32_t tw = L.w, th = 0;
    if (tiled) {
        TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(t, TIFFTAG_TILELENGTH, &th);
    } else {
        TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &th);
    }
    th = std::min(std::max(th, 1u), L.h);
    if (tw == 0) return SetError(ORNIX_ERR_NOT_FORMAT), false;
    const tmsize_t chunk = tiled ? TIFFTileSize(t) : TIFFStripSize(t);
    const uint64_t chunkRow = (uint64_t(tw) * S.perPlane * L.bps + 7) / 8;
    if (chunk <= 0 || uint64_t(chunk) < chunkRow) return SetError(ORNIX_ERR_NOT_FORMAT), false;
    std::vector<uint8_t> buf(static_cast<size_t>(chunk));
    for (int p = 0; p < planes; ++p)
        for (uint32_t y0 = 0; y0 < L.h; y0 += th)
            for (uint32_t x0 = 0; x0 < L.w; x0 += tw) {
                const tmsize_t got = tiled ? TIFFReadEncodedTile(t, TIFFComputeTile(t, x0, y0, 0, uint16_t(p)), buf.data(), chunk)
                                           : TIFFReadEncodedStrip(t, TIFFComputeStrip(t, y0, uint16_t(p)), buf.data(), chunk);
                // A picture whose later data is damaged or missing keeps the part read so far.
                if (got < 0 && p == 0 && y0 == 0 && x0 == 0) return SetError(ORNIX_ERR_TRUNCATED), false;
                if (got < 0) return true;
                const uint32_t rows = std::min(th, L.h - y0);
                const uint64_t bitOff = uint64_t(x0) * S.perPlane * L.bps, bits = uint64_t(std::min(tw, L.w - x0)) * S.perPlane * L.bps;
                for (uint32_t r = 0; r < rows && (r + 1) * chunkRow <= uint64_t(chunk); ++r) {
                    const uint8_t* src = buf.data() + r * chunkRow;
                    uint8_t* dst = S.planes[p].data() + (y0 + r) * S.rowBytes;
                    if (bitOff % 8 == 0 && bits % 8 == 0) {
                        std::memcpy(dst + bitOff / 8, src, bits / 8);
                    } else {
                        for (uint64_t i = 0; i < bits; ++i) {
                            const uint64_t to = bitOff + i;
                            const int v = (src[i >> 3] >> (7 - (i & 7))) & 1;
                            dst[to >> 3] = uint8_t((dst[to >> 3] & ~(0x80 >> (to & 7))) | (v << (7 - (to & 7))));
                        }
                    }
                }
            }
    return true;
}

// One pixel of the stored picture as B,G,R.
void Pixel(const Layout& L, const Samples& S, uint32_t x, uint32_t y, uint8_t* o) {
    auto sample = [&](int s) {
        const int plane = S.planes.size() > 1 ? s : 0;
        return SampleAt(L, S.planes[plane].data() + size_t(y) * S.rowBytes, S.perPlane, x, S.planes.size() > 1 ? 0 : s);
    };
    const int colours = L.photo == PHOTOMETRIC_SEPARATED ? 4 : L.photo == PHOTOMETRIC_MINISBLACK || L.photo == PHOTOMETRIC_MINISWHITE || L.photo == PHOTOMETRIC_PALETTE ? 1 : 3;
    // Associated alpha means premultiplied colours: shown undivided they would darken.
    double alpha = 1;
    if (L.spp > colours && L.alpha == EXTRASAMPLE_ASSOCALPHA) alpha = sample(colours);
    auto colour = [&](int s) { double v = sample(s); return alpha > 0 && alpha < 1 ? std::min(v / alpha, 1.0) : v; };
    switch (L.photo) {
        case PHOTOMETRIC_PALETTE: {
            const uint64_t i = RawIndex(L, S.planes[0].data() + size_t(y) * S.rowBytes, x);
            o[2] = uint8_t((L.red[i] * 255u + 32767) / 65535), o[1] = uint8_t((L.green[i] * 255u + 32767) / 65535);
            o[0] = uint8_t((L.blue[i] * 255u + 32767) / 65535);
            return;
        }
        case PHOTOMETRIC_RGB:
            o[2] = To8(colour(0)), o[1] = To8(colour(1)), o[0] = To8(colour(2));
            return;
        case PHOTOMETRIC_SEPARATED: {
            const double k = 1 - sample(3);
            o[2] = To8((1 - sample(0)) * k), o[1] = To8((1 - sample(1)) * k), o[0] = To8((1 - sample(2)) * k);
            return;
        }
        case PHOTOMETRIC_YCBCR: {
            // The TIFF definition: codes scaled by the reference black and white, then the coefficients.
            auto level = [&](int s, double range) {
                const double span = L.refBW[2 * s + 1] - L.refBW[2 * s];
                return span != 0 ? (sample(s) * 255 - L.refBW[2 * s]) * range / span : 0;
            };
            const double y = level(0, 255), cb = level(1, 127), cr = level(2, 127);
            const double r = y + cr * (2 - 2 * L.luma[0]), b = y + cb * (2 - 2 * L.luma[2]);
            const double g = L.luma[1] != 0 ? (y - L.luma[2] * b - L.luma[0] * r) / L.luma[1] : y;
            o[2] = To8(r / 255), o[1] = To8(g / 255), o[0] = To8(b / 255);
            return;
        }
        case PHOTOMETRIC_CIELAB: {
            auto s8 = [&](int s) { return double(int8_t(uint8_t(std::lround(sample(s) * 255)))); };
            LabToBgr(sample(0) * 100, s8(1), s8(2), o);
            return;
        }
        default: {
            const double v = colour(0);
            o[0] = o[1] = o[2] = To8(L.photo == PHOTOMETRIC_MINISWHITE ? 1 - v : v);
        }
    }
}

// libtiff's own RGBA reader, rows in stored order; false (error set) on failure.
bool ReadRgba(TIFF* t, const Layout& L, uint16_t orientation, Image& img) {
    std::vector<uint32_t> raster;
    try {
        raster.resize(size_t(L.w) * L.h);
    } catch (...) {
        return SetError(ORNIX_ERR_NO_MEMORY), false;
    }
    // Asking for the file's own orientation makes libtiff keep the stored order.
    if (!TIFFReadRGBAImageOriented(t, L.w, L.h, raster.data(), orientation, 0)) return SetError(ORNIX_ERR_UNSUPPORTED), false;
    for (size_t i = 0; i < raster.size(); ++i) {
        img.pixels[i * 3] = uint8_t(TIFFGetB(raster[i]));
        img.pixels[i * 3 + 1] = uint8_t(TIFFGetG(raster[i]));
        img.pixels[i * 3 + 2] = uint8_t(TIFFGetR(raster[i]));
    }
    return true;
}

}  // namespace

// Turns a picture stored in `orientation` (the TIFF tag's values 1..8) upright.
void ApplyOrientation(Image& img, int orientation) {
    if (orientation <= 1 || orientation > 8) return;
    const int w = img.width, h = img.height;
    const bool turn = orientation >= 5;
    const int vw = turn ? h : w, vh = turn ? w : h;
    std::vector<uint8_t> out(img.pixels.size());
    for (int vy = 0; vy < vh; ++vy)
        for (int vx = 0; vx < vw; ++vx) {
            int row = 0, col = 0;
            switch (orientation) {
                case 2: row = vy, col = w - 1 - vx; break;
                case 3: row = h - 1 - vy, col = w - 1 - vx; break;
                case 4: row = h - 1 - vy, col = vx; break;
                case 5: row = vx, col = vy; break;
                case 6: row = h - 1 - vx, col = vy; break;
                case 7: row = h - 1 - vx, col = w - 1 - vy; break;
                default: row = vx, col = w - 1 - vy; break;
            }
            std::memcpy(&out[(size_t(vy) * vw + vx) * 3], &img.pixels[(size_t(row) * w + col) * 3], 3);
        }
    img.pixels.swap(out);
    img.width = vw, img.height = vh;
}

bool DecodeTiff(TIFF* t, uint64_t fileSize, Image& img) {
    Layout L;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &L.w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &L.h);
    if (!CheckSize(L.w, L.h)) return false;
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &L.bps);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &L.spp);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &L.format);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &L.planar);
    TIFFGetFieldDefaulted(t, TIFFTAG_INKSET, &L.inkset);
    uint16_t orientation = ORIENTATION_TOPLEFT, extras = 0, compression = COMPRESSION_NONE;
    uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(t, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
    if (TIFFGetField(t, TIFFTAG_EXTRASAMPLES, &extras, &extra) && extras > 0 && extra) L.alpha = extra[0];
    if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &L.photo)) L.photo = L.spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    if (L.photo == PHOTOMETRIC_PALETTE) TIFFGetField(t, TIFFTAG_COLORMAP, &L.red, &L.green, &L.blue);
    if (L.photo == PHOTOMETRIC_YCBCR) {
        float *luma = nullptr, *ref = nullptr;
        TIFFGetFieldDefaulted(t, TIFFTAG_YCBCRSUBSAMPLING, &L.subX, &L.subY);
        if (TIFFGetField(t, TIFFTAG_YCBCRCOEFFICIENTS, &luma) && luma) std::copy(luma, luma + 3, L.luma);
        if (TIFFGetField(t, TIFFTAG_REFERENCEBLACKWHITE, &ref) && ref) std::copy(ref, ref + 6, L.refBW);
    }
    // Samples a file this size cannot hold are refused before anything is
    // allocated for them (no codec here packs more than 4096 bytes into one).
    const uint64_t raw = (uint64_t(L.w) * L.spp * L.bps + 7) / 8 * L.h;
    if (raw > fileSize * 4096 + (16u << 20) || !CheckDensity(uint64_t(L.w) * L.h, fileSize)) return SetError(ORNIX_ERR_TRUNCATED), false;
    img = Image{};
    img.width = int(L.w), img.height = int(L.h), img.bits = 24;
    try {
        img.pixels.assign(size_t(L.w) * L.h * 3, 0);
    } catch (...) {
        return SetError(ORNIX_ERR_NO_MEMORY), false;
    }
    // JPEG-compressed YCbCr is turned into RGB by the codec itself.
    if (compression == COMPRESSION_JPEG && L.photo == PHOTOMETRIC_YCBCR) {
        TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        L.photo = PHOTOMETRIC_RGB;
    }
    if (Handled(L) && compression != COMPRESSION_OJPEG) {
        Samples S;
        if (!ReadSamples(t, L, S)) return false;
        for (uint32_t y = 0; y < L.h; ++y)
            for (uint32_t x = 0; x < L.w; ++x) Pixel(L, S, x, y, &img.pixels[(size_t(y) * L.w + x) * 3]);
    } else if (!ReadRgba(t, L, orientation >= 1 && orientation <= 8 ? orientation : ORIENTATION_TOPLEFT, img)) {
        return false;
    }
    ApplyOrientation(img, orientation);
    return true;
}

}  // namespace ornix
