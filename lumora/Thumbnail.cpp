// Thumbnail decoding and area-averaging reduction.
#include "lumora/Thumbnail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>

#include <wx/image.h>

#include "common/DibImage.h"
#include "common/Orientation.h"
#include "lumora/ViewLayout.h"
#include "ornix/Ornix.h"

namespace lumora {
namespace {

// The codec's limits: larger pictures are refused before decoding.
bool WithinLimits(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= 30000 && h <= 30000 && uint64_t(w) * uint64_t(h) <= (uint64_t(1) << 28);
}

// The whole file in one read where it can (a file that grows or shrinks
// meanwhile gives what was there).
bool ReadAll(const std::string& path, std::vector<uint8_t>& data) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    size_t used = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        data.resize(size_t(st.st_size));
        while (used < data.size()) {
            const ssize_t n = ::read(fd, data.data() + used, data.size() - used);
            if (n <= 0) break;
            used += size_t(n);
        }
    }
    ::close(fd);
    data.resize(used);
    return used > 0;
}

// JPEG: the header for the label, the pixels at a DCT scale, as stored (the
// caller turns them by `orientation`; the label is the upright size).
// Warnings (a truncated tail) still give a picture, as the whole-file reader
// accepts.
bool DecodeJpeg(const std::string& path, int boxW, int boxH, Thumb& t, std::vector<uint8_t>& rgb, int& pw, int& ph,
                int& orientation) {
    std::vector<uint8_t> data;
    if (!ReadAll(path, data)) return false;
    tjhandle tj = tjInitDecompress();
    if (!tj) return false;
    int w = 0, h = 0, sub = 0, cs = 0;
    bool ok = tjDecompressHeader3(tj, data.data(), data.size(), &w, &h, &sub, &cs) == 0 && WithinLimits(w, h);
    if (ok) {
        orientation = orient::JpegOrientation(data.data(), data.size());
        const bool swap = orient::SwapsAxes(orientation);
        const Fitted f = swap ? FitImage(h, w, boxW, boxH, 0, 0, 0, 0) : FitImage(w, h, boxW, boxH, 0, 0, 0, 0);
        const int d = swap ? JpegScaleDenominator(w, h, f.height, f.width) : JpegScaleDenominator(w, h, f.width, f.height);
        pw = (w + d - 1) / d, ph = (h + d - 1) / d;
        rgb.resize(size_t(pw) * ph * 3);
        const int rc = tjDecompress2(tj, data.data(), data.size(), rgb.data(), pw, pw * 3, ph, TJPF_RGB, TJFLAG_FASTUPSAMPLE | TJFLAG_FASTDCT);
        ok = rc == 0 || tjGetErrorCode(tj) == TJERR_WARNING;
        t.width = swap ? h : w, t.height = swap ? w : h, t.colours = 0;
    }
    tjDestroy(tj);
    return ok;
}

// Every other type through the image object, as the whole picture.
// The pixels stay in `image`: a large picture is never copied whole again.
bool DecodeOther(const std::string& path, int type, Thumb& t, wxImage& image) {
    CDibImage dib(CDibImage::Kind::Viewer);
    if (!dib.Load(path) || !dib.ToImage(image)) return false;
    dib.Empty();
    t.width = dib.Width(), t.height = dib.Height();
    // The browser shows a BMP file as the JPEG reader gives it back: 24 bits.
    t.colours = type == ORNIX_TYPE_BMP ? 0 : dib.Colours();
    return true;
}

}  // namespace

int JpegScaleDenominator(int w, int h, int needW, int needH) {
    for (int d : {8, 4, 2})
        if ((w + d - 1) / d >= needW && (h + d - 1) / d >= needH) return d;
    return 1;
}

namespace {

// A reduction from `from` pixels to `to` in scaled units: source pixel i
// spans [i * to, (i + 1) * to), target pixel x spans [x * from, (x + 1) * from).
int64_t Overlap(int64_t i, int64_t x, int64_t from, int64_t to) {
    return std::max<int64_t>(0, std::min((i + 1) * to, (x + 1) * from) - std::max(i * to, x * from));
}

// Down: where each source row lands; a target row shares a source row with
// at most its neighbour, as a target is never smaller.
struct Span {
    size_t first;
    float w0, w1;  // overlap with first and with first + 1 (0 when none)
};

std::vector<Span> Spans(int from, int to) {
    std::vector<Span> spans(static_cast<size_t>(from));
    for (int i = 0; i < from; ++i) {
        const int64_t x = int64_t(i) * to / from;
        spans[size_t(i)] = {size_t(x), float(Overlap(i, x, from, to)), float(Overlap(i, x + 1, from, to))};
    }
    return spans;
}

// Across: the same number of source pixels for every target pixel, in
// order, those it does not cover weighing 0, so the sums run without
// branches; adding a zero leaves a sum as it is.
struct Taps {
    size_t count = 1;
    std::vector<size_t> first;   // per target
    std::vector<float> weight;   // count per target
};

Taps MakeTaps(int from, int to) {
    Taps t;
    for (int64_t x = 0; x < to; ++x) {
        const int64_t a = x * from / to, b = ((x + 1) * from - 1) / to;
        t.count = std::max(t.count, size_t(b - a + 1));
    }
    t.first.resize(size_t(to));
    t.weight.resize(size_t(to) * t.count);
    for (int64_t x = 0; x < to; ++x) {
        const int64_t first = std::min(x * from / to, int64_t(from) - int64_t(t.count));
        t.first[size_t(x)] = size_t(first);
        for (size_t k = 0; k < t.count; ++k)
            t.weight[size_t(x) * t.count + k] = float(Overlap(first + int64_t(k), x, from, to));
    }
    return t;
}

using F4 = float __attribute__((vector_size(16)));  // R, G, B and a spare lane

// Three bytes as floats, and floats of 0 to 255 back as bytes (truncated,
// as a cast does).
F4 PixelIn(const uint8_t* p) {
    const uint32_t v = p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
#ifdef __SSE2__
    const __m128i z = _mm_setzero_si128();
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(v)), z), z));
#else
    return F4{float(v & 255), float(v >> 8 & 255), float(v >> 16), 0.f};
#endif
}

void PixelOut(F4 f, uint8_t* p) {
#ifdef __SSE2__
    const __m128i q = _mm_cvttps_epi32(f);
    const uint32_t v = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(q, q), q)));
    std::memcpy(p, &v, 3);
#else
    for (int c = 0; c < 3; ++c) p[c] = uint8_t(f[c]);
#endif
}

}  // namespace

void ReduceArea(const uint8_t* src, int sw, int sh, int tw, int th, std::vector<uint8_t>& out) {
    // Each source pixel adds by its overlap, first across each row, then
    // each row down into the target rows it overlaps. A pixel is one vector:
    // the same single-precision sums as one channel at a time, at once.
    const Taps across = MakeTaps(sw, tw);
    const std::vector<Span> down = Spans(sh, th);
    std::vector<F4> in(static_cast<size_t>(sw)), row(static_cast<size_t>(tw));
    std::vector<F4> acc(size_t(tw) * size_t(th), F4{});
    for (int j = 0; j < sh; ++j) {
        const uint8_t* s = src + size_t(j) * sw * 3;
        for (size_t i = 0; i < in.size(); ++i, s += 3) in[i] = PixelIn(s);
        for (size_t x = 0; x < row.size(); ++x) {
            const F4* p = &in[across.first[x]];
            const float* w = &across.weight[x * across.count];
            F4 sum{};
            for (size_t k = 0; k < across.count; ++k) sum += w[k] * p[k];
            row[x] = sum;
        }
        const Span& d = down[size_t(j)];
        F4* o = &acc[d.first * row.size()];
        for (size_t x = 0; x < row.size(); ++x) o[x] += d.w0 * row[x];
        if (d.w1 > 0)
            for (size_t x = 0; x < row.size(); ++x) o[row.size() + x] += d.w1 * row[x];
    }
    const float scale = 1.f / (float(sw) * float(sh));
    out.resize(acc.size() * 3);
    const F4 top{255.f, 255.f, 255.f, 255.f};
    for (size_t k = 0; k < acc.size(); ++k) {
        const F4 v = acc[k] * scale + 0.5f;
        PixelOut(v < top ? v : top, &out[k * 3]);
    }
}

Thumb DecodeThumbnail(const std::string& path, int boxW, int boxH) {
    Thumb t;
    std::vector<uint8_t> rgb;
    wxImage image;
    int pw = 0, ph = 0, orientation = 1;
    const int type = FileType(path.c_str());
    bool ok = false;
    if (type == ORNIX_TYPE_JPEG) {
        ok = DecodeJpeg(path, boxW, boxH, t, rgb, pw, ph, orientation);
    } else if (type != ORNIX_TYPE_NONE && DecodeOther(path, type, t, image)) {
        ok = true;
        pw = image.GetWidth(), ph = image.GetHeight();
    }
    const uint8_t* src = image.IsOk() ? image.GetData() : rgb.data();
    if (!ok || pw <= 0 || ph <= 0) {
        // A file that does not load shows no picture and a size of zero.
        return Thumb{};
    }
    // Reduced as stored, then the small result turned upright.
    const bool swap = orient::SwapsAxes(orientation);
    const Fitted f = FitImage(t.width, t.height, boxW, boxH, 0, 0, 0, 0);
    const int fw = swap ? f.height : f.width, fh = swap ? f.width : f.height;
    const int rw = std::min(fw, pw), rh = std::min(fh, ph);
    std::vector<uint8_t> reduced;
    if (rw == pw && rh == ph) reduced.assign(src, src + size_t(pw) * ph * 3);
    else ReduceArea(src, pw, ph, rw, rh, reduced);
    t.ok = true;
    t.pixW = swap ? rh : rw, t.pixH = swap ? rw : rh;
    if (orientation == 1) {
        t.rgb = std::move(reduced);
    } else {
        t.rgb.resize(reduced.size());
        orient::OrientPixels(reduced.data(), rw, rh, 3, ptrdiff_t(rw) * 3, t.rgb.data(), ptrdiff_t(t.pixW) * 3,
                             orientation);
    }
    return t;
}

}  // namespace lumora
