// Thumbnail cache files read and written through GLib and gdk-pixbuf, the
// same naming as every desktop program uses.
#include "lumora/ThumbCache.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "lumora/ViewLayout.h"
#include "ornix/Ornix.h"

namespace lumora {
namespace {

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};
using GString_ = std::unique_ptr<char, GFreeDeleter>;

struct PixbufDeleter {
    void operator()(GdkPixbuf* p) const { g_object_unref(p); }
};
using Pixbuf = std::unique_ptr<GdkPixbuf, PixbufDeleter>;

std::string CacheRoot() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/thumbnails/";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.cache/thumbnails/";
}

std::string Uri(const std::string& path) {
    std::string abs = path;
    if (abs.empty() || abs[0] != '/') {
        GString_ cwd(g_get_current_dir());
        abs = std::string(cwd.get()) + "/" + path;
    }
    GString_ uri(g_filename_to_uri(abs.c_str(), nullptr, nullptr));
    return uri ? uri.get() : std::string();
}

int OptionInt(GdkPixbuf* pb, const char* key) {
    const char* v = gdk_pixbuf_get_option(pb, key);
    return v ? std::atoi(v) : -1;
}

// Width and height from the file's own header, for entries other programs
// wrote without the picture size. JPEG and BMP only: the label of these is
// always 16M; false for every other type.
bool HeaderSize(const std::string& path, int& w, int& h) {
    const int type = FileType(path.c_str());
    std::ifstream in(path, std::ios::binary);
    std::string head(65536, '\0');
    in.read(head.data(), std::streamsize(head.size()));
    head.resize(size_t(in.gcount()));
    const auto* d = reinterpret_cast<const uint8_t*>(head.data());
    if (type == ORNIX_TYPE_BMP && head.size() >= 26) {
        w = int(d[18] | d[19] << 8 | d[20] << 16 | unsigned(d[21]) << 24);
        h = int(d[22] | d[23] << 8 | d[24] << 16 | unsigned(d[25]) << 24);
        h = h < 0 ? -h : h;
        return w > 0 && h > 0;
    }
    if (type != ORNIX_TYPE_JPEG) return false;
    // Walk the markers to the frame header.
    for (size_t i = 2; i + 9 < head.size();) {
        if (d[i] != 0xFF) return false;
        const uint8_t m = d[i + 1];
        const size_t len = size_t(d[i + 2]) << 8 | d[i + 3];
        if ((m >= 0xC0 && m <= 0xCF) && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            h = d[i + 5] << 8 | d[i + 6];
            w = d[i + 7] << 8 | d[i + 8];
            return w > 0 && h > 0;
        }
        i += 2 + len;
    }
    return false;
}

// A cache entry as a picture, when it is a PNG of at most maxSide pixels a
// side. The header is checked first: the cache is shared with other programs,
// and a damaged or hostile entry must not make the decoder allocate what its
// header declares, nor reach decoders of other formats.
Pixbuf OpenEntry(const std::string& file, int maxSide) {
    uint8_t head[24];
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return nullptr;
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (std::memcmp(head, kPng, 8) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0) return nullptr;
    const uint32_t w = uint32_t(head[16]) << 24 | head[17] << 16 | head[18] << 8 | head[19];
    const uint32_t h = uint32_t(head[20]) << 24 | head[21] << 16 | head[22] << 8 | head[23];
    if (w == 0 || h == 0 || w > uint32_t(maxSide) || h > uint32_t(maxSide)) return nullptr;
    return Pixbuf(gdk_pixbuf_new_from_file(file.c_str(), nullptr));
}

// The cached picture when it is for this file as it is now.
bool ReadCached(const std::string& file, const std::string& uri, const std::string& path, time_t mtime, Thumb& t) {
    Pixbuf pb = OpenEntry(file, 512);
    if (!pb) return false;
    const char* u = gdk_pixbuf_get_option(pb.get(), "tEXt::Thumb::URI");
    const char* m = gdk_pixbuf_get_option(pb.get(), "tEXt::Thumb::MTime");
    if (!u || uri != u || !m || std::strtoll(m, nullptr, 10) != int64_t(mtime)) return false;
    t.width = OptionInt(pb.get(), "tEXt::Thumb::Image::Width");
    t.height = OptionInt(pb.get(), "tEXt::Thumb::Image::Height");
    t.colours = OptionInt(pb.get(), "tEXt::X-Lumora::Colours");
    if (t.colours < 0) {
        // Written elsewhere: only files whose label the header gives.
        if (!HeaderSize(path, t.width, t.height)) return false;
        t.colours = 0;
    }
    if (t.width <= 0 || t.height <= 0 || gdk_pixbuf_get_bits_per_sample(pb.get()) != 8) return false;
    const int w = gdk_pixbuf_get_width(pb.get()), h = gdk_pixbuf_get_height(pb.get());
    const int n = gdk_pixbuf_get_n_channels(pb.get()), stride = gdk_pixbuf_get_rowstride(pb.get());
    if (w <= 0 || h <= 0 || n < 3) return false;
    const guchar* px = gdk_pixbuf_read_pixels(pb.get());
    t.rgb.resize(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) std::memcpy(&t.rgb[(size_t(y) * w + x) * 3], px + size_t(y) * stride + size_t(x) * n, 3);
    t.pixW = w, t.pixH = h, t.ok = true;
    return true;
}

// Writes the entry under a temporary name and renames it into place.
void WriteCached(const std::string& file, const std::string& uri, time_t mtime, const Thumb& t) {
    const std::string dir = file.substr(0, file.rfind('/'));
    if (g_mkdir_with_parents(dir.c_str(), 0700) != 0) return;
    Pixbuf pb(gdk_pixbuf_new_from_data(t.rgb.data(), GDK_COLORSPACE_RGB, FALSE, 8, t.pixW, t.pixH, t.pixW * 3,
                                       nullptr, nullptr));
    if (!pb) return;
    const std::string temp = file + ".lumora-" + std::to_string(getpid()) + "-" +
                             std::to_string(reinterpret_cast<uintptr_t>(&t)) + ".png";
    const std::string mt = std::to_string(int64_t(mtime)), w = std::to_string(t.width), h = std::to_string(t.height),
                      c = std::to_string(t.colours);
    const mode_t old = umask(077);
    const gboolean ok = gdk_pixbuf_save(pb.get(), temp.c_str(), "png", nullptr, "tEXt::Thumb::URI", uri.c_str(),
                                        "tEXt::Thumb::MTime", mt.c_str(), "tEXt::Thumb::Image::Width", w.c_str(),
                                        "tEXt::Thumb::Image::Height", h.c_str(), "tEXt::X-Lumora::Colours", c.c_str(),
                                        "tEXt::Software", "Lumora", nullptr);
    umask(old);
    if (!ok || std::rename(temp.c_str(), file.c_str()) != 0) std::remove(temp.c_str());
}

// The failure entry: a 1 x 1 PNG carrying the file's URI and modification
// time, so a file that does not decode is not tried again until it changes.
std::string FailFileFor(const std::string& uri) {
    GString_ md5(g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), -1));
    return CacheRoot() + "fail/lumora/" + md5.get() + ".png";
}

bool FailedBefore(const std::string& uri, time_t mtime) {
    Pixbuf pb = OpenEntry(FailFileFor(uri), 16);
    if (!pb) return false;
    const char* u = gdk_pixbuf_get_option(pb.get(), "tEXt::Thumb::URI");
    const char* m = gdk_pixbuf_get_option(pb.get(), "tEXt::Thumb::MTime");
    return u && uri == u && m && std::strtoll(m, nullptr, 10) == int64_t(mtime);
}

void WriteFailed(const std::string& uri, time_t mtime) {
    const std::string file = FailFileFor(uri);
    const std::string dir = file.substr(0, file.rfind('/'));
    if (g_mkdir_with_parents(dir.c_str(), 0700) != 0) return;
    Pixbuf pb(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 1, 1));
    if (!pb) return;
    gdk_pixbuf_fill(pb.get(), 0);
    const std::string temp = file + ".lumora-" + std::to_string(getpid()) + "-" +
                             std::to_string(reinterpret_cast<uintptr_t>(&pb)) + ".png";
    const std::string mt = std::to_string(int64_t(mtime));
    const mode_t old = umask(077);
    const gboolean ok = gdk_pixbuf_save(pb.get(), temp.c_str(), "png", nullptr, "tEXt::Thumb::URI", uri.c_str(),
                                        "tEXt::Thumb::MTime", mt.c_str(), "tEXt::Software", "Lumora", nullptr);
    umask(old);
    if (!ok || std::rename(temp.c_str(), file.c_str()) != 0) std::remove(temp.c_str());
}

// The thumbnail reduced from a covering picture to the fitted size.
Thumb Fit(Thumb big, int boxW, int boxH) {
    const Fitted f = FitImage(big.width, big.height, boxW, boxH, 0, 0, 0, 0);
    const int tw = std::min(f.width, big.pixW), th = std::min(f.height, big.pixH);
    if (tw == big.pixW && th == big.pixH) return big;
    Thumb t = big;
    ReduceArea(big.rgb.data(), big.pixW, big.pixH, tw, th, t.rgb);
    t.pixW = tw, t.pixH = th;
    return t;
}

}  // namespace

int CacheSizeFor(int w, int h, int boxW, int boxH) {
    const Fitted f = FitImage(w, h, boxW, boxH, 0, 0, 0, 0);
    for (int size : {256, 512}) {
        const Fitted c = FitImage(w, h, size, size, 0, 0, 0, 0);
        if (c.width >= f.width && c.height >= f.height) return size;
    }
    return 0;
}

std::string CacheFileFor(const std::string& path, int size) {
    const std::string uri = Uri(path);
    if (uri.empty()) return std::string();
    GString_ md5(g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), -1));
    return CacheRoot() + (size == 256 ? "large/" : "x-large/") + md5.get() + ".png";
}

Thumb LoadThumbnail(const std::string& path, int boxW, int boxH, std::function<void()>* deferredWrite) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return DecodeThumbnail(path, boxW, boxH);
    const std::string uri = Uri(path);
    if (!uri.empty() && FailedBefore(uri, st.st_mtim.tv_sec)) return Thumb{};
    // The smaller entry first; it serves when it covers the fitted size.
    for (int size : {256, 512}) {
        Thumb big;
        const std::string file = CacheFileFor(path, size);
        if (file.empty() || !ReadCached(file, uri, path, st.st_mtim.tv_sec, big)) continue;
        const Fitted f = FitImage(big.width, big.height, boxW, boxH, 0, 0, 0, 0);
        if (big.pixW >= f.width && big.pixH >= f.height) return Fit(std::move(big), boxW, boxH);
    }
    // The picture's size from its header picks the entry to write; without
    // one the box decides.
    int w = 0, h = 0;
    if (!HeaderSize(path, w, h)) w = boxW, h = boxH;
    const int size = CacheSizeFor(w, h, boxW, boxH);
    if (size == 0) return DecodeThumbnail(path, boxW, boxH);
    // Decoded at the entry's size first, so a thumbnail from the cache and
    // one decoded now are the same picture.
    Thumb big = DecodeThumbnail(path, size, size);
    if (!big.ok) {
        if (!uri.empty() && deferredWrite)
            *deferredWrite = [uri, mtime = st.st_mtim.tv_sec] { WriteFailed(uri, mtime); };
        else if (!uri.empty())
            WriteFailed(uri, st.st_mtim.tv_sec);
        return big;
    }
    const std::string file = CacheFileFor(path, size);
    if (!file.empty() && deferredWrite)
        *deferredWrite = [file, uri, mtime = st.st_mtim.tv_sec, big] { WriteCached(file, uri, mtime, big); };
    else if (!file.empty())
        WriteCached(file, uri, st.st_mtim.tv_sec, big);
    return Fit(std::move(big), boxW, boxH);
}

}  // namespace lumora
