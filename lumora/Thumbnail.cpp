// Thumbnail decoding and area-averaging reduction.
#include "lumora/Thumbnail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>

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

void ReduceArea(const uint8_t* src, int sw, int sh, int tw, int th, std::vector<uint8_t>& out) {
    // In scaled units a source pixel spans tw (across) or th (down) and a
    // target pixel sw or sh; each source pixel adds by its overlap.
    std::vector<float> row(size_t(tw) * 3), acc(size_t(tw) * th * 3, 0.f);
    for (int j = 0; j < sh; ++j) {
        std::fill(row.begin(), row.end(), 0.f);
        const uint8_t* s = src + size_t(j) * sw * 3;
        for (int i = 0; i < sw; ++i) {
            int64_t a = int64_t(i) * tw, b = a + tw;
            for (int64_t x = a / sw; x < tw && x * sw < b; ++x) {
                const float wgt = float(std::min(b, (x + 1) * sw) - std::max(a, x * sw));
                float* r = &row[size_t(x) * 3];
                r[0] += wgt * s[3 * i], r[1] += wgt * s[3 * i + 1], r[2] += wgt * s[3 * i + 2];
            }
        }
        const int64_t a = int64_t(j) * th, b = a + th;
        for (int64_t y = a / sh; y < th && y * sh < b; ++y) {
            const float wgt = float(std::min(b, (y + 1) * sh) - std::max(a, y * sh));
            float* o = &acc[size_t(y) * tw * 3];
            for (size_t k = 0; k < row.size(); ++k) o[k] += wgt * row[k];
        }
    }
    const float scale = 1.f / (float(sw) * float(sh));
    out.resize(acc.size());
    for (size_t k = 0; k < acc.size(); ++k) out[k] = uint8_t(std::min(255.f, acc[k] * scale + 0.5f));
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
