// Thumbnail cache entries: named as every desktop program names them
// (GLib's URI and MD5), written and mostly read by ThumbPng.cpp; a PNG of
// another kind that other programs wrote is read through gdk-pixbuf.
#include "common/ThumbFiles.h"

#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "common/ThumbPng.h"

namespace thumbs {
namespace {

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};
using GStr = std::unique_ptr<char, GFreeDeleter>;

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

}  // namespace

std::string FileUri(const std::string& path) {
    std::string abs = path;
    if (abs.empty() || abs[0] != '/') {
        GStr cwd(g_get_current_dir());
        abs = std::string(cwd.get()) + "/" + path;
    }
    GStr uri(g_filename_to_uri(abs.c_str(), nullptr, nullptr));
    return uri ? uri.get() : std::string();
}

std::string EntryFile(const std::string& uri, const std::string& folder) {
    GStr md5(g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), -1));
    return CacheRoot() + folder + "/" + md5.get() + ".png";
}

// True when the file is a PNG of at most 1024 pixels a side (the largest
// cache size) whose chunks all lie within the file. The cache is shared with
// other programs: a damaged or hostile entry must not make the decoder
// allocate what a header or a chunk length declares, nor reach the decoders
// of other formats.
// The file's bytes are left in d.
static bool PlausibleEntry(const std::string& file, std::vector<uint8_t>& d) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || st.st_size > (16 << 20)) return false;  // far above any entry
    d.resize(size_t(st.st_size));
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return false;
    d.resize(std::fread(d.data(), 1, d.size(), f));
    std::fclose(f);
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (d.size() < 33 || std::memcmp(d.data(), kPng, 8) != 0 || std::memcmp(&d[12], "IHDR", 4) != 0) return false;
    const auto be32 = [&](size_t at) { return uint32_t(d[at]) << 24 | d[at + 1] << 16 | d[at + 2] << 8 | d[at + 3]; };
    const uint32_t w = be32(16), h = be32(20);
    if (w == 0 || h == 0 || w > 1024 || h > 1024) return false;
    for (size_t at = 8; at + 12 <= d.size();) {
        const uint64_t len = be32(at);
        if (len > d.size() - at - 12) return false;
        if (std::memcmp(&d[at + 4], "IEND", 4) == 0) return true;
        at += 12 + len;
    }
    return false;
}

// The PNG decoded from the bytes already read: no second read, and no
// search through the other formats' loaders.
static GdkPixbuf* DecodePng(const std::vector<uint8_t>& d) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (!loader) return nullptr;
    const bool fed = gdk_pixbuf_loader_write(loader, d.data(), d.size(), nullptr);
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);  // also after a failed write
    GdkPixbuf* pb = fed && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (pb) g_object_ref(pb);
    g_object_unref(loader);
    return pb;
}

// Any PNG kind through gdk-pixbuf, for entries other programs wrote in a
// kind the plain reader leaves alone.
static bool DecodeGeneral(const std::vector<uint8_t>& bytes, Entry& out) {
    Pixbuf pb(DecodePng(bytes));
    if (!pb) return false;
    const int w = gdk_pixbuf_get_width(pb.get()), h = gdk_pixbuf_get_height(pb.get());
    const int n = gdk_pixbuf_get_n_channels(pb.get()), stride = gdk_pixbuf_get_rowstride(pb.get());
    if (w <= 0 || h <= 0 || n < 3 || gdk_pixbuf_get_bits_per_sample(pb.get()) != 8) return false;
    GHashTable* options = gdk_pixbuf_get_options(pb.get());
    out.text.clear();
    if (options) {
        GHashTableIter it;
        gpointer k, v;
        g_hash_table_iter_init(&it, options);
        while (g_hash_table_iter_next(&it, &k, &v)) {
            const std::string key = static_cast<const char*>(k);
            if (key.rfind("tEXt::", 0) == 0) out.text[key.substr(6)] = static_cast<const char*>(v);
        }
        g_hash_table_unref(options);
    }
    const guchar* px = gdk_pixbuf_read_pixels(pb.get());
    out.rgb.resize(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const guchar* row = px + size_t(y) * stride;
        uint8_t* to = &out.rgb[size_t(y) * w * 3];
        if (n == 3) {
            std::memcpy(to, row, size_t(w) * 3);
            continue;
        }
        for (int x = 0; x < w; ++x) std::memcpy(to + size_t(x) * 3, row + size_t(x) * n, 3);
    }
    out.width = w, out.height = h;
    return true;
}

bool ReadEntry(const std::string& file, const std::string& uri, time_t mtime, Entry& out) {
    std::vector<uint8_t> bytes;
    if (!PlausibleEntry(file, bytes)) return false;
    if (!png::DecodePlain(bytes.data(), bytes.size(), out) && !DecodeGeneral(bytes, out)) return false;
    const auto u = out.text.find("Thumb::URI"), m = out.text.find("Thumb::MTime");
    return u != out.text.end() && u->second == uri && m != out.text.end() &&
           std::strtoll(m->second.c_str(), nullptr, 10) == int64_t(mtime);
}

bool WriteEntry(const std::string& file, const std::string& uri, time_t mtime, const Entry& entry,
                const char* software) {
    static const uint8_t kMark[3] = {0, 0, 0};
    const bool mark = entry.rgb.empty() || entry.width <= 0 || entry.height <= 0;
    const int w = mark ? 1 : entry.width, h = mark ? 1 : entry.height;
    if (!mark && entry.rgb.size() < size_t(w) * h * 3) return false;
    std::vector<std::pair<std::string, std::string>> text = {
        {"Thumb::URI", uri}, {"Thumb::MTime", std::to_string(int64_t(mtime))}, {"Software", software}};
    text.insert(text.end(), entry.text.begin(), entry.text.end());
    std::vector<uint8_t> png;
    if (!png::Encode(w, h, mark ? kMark : entry.rgb.data(), text, png)) return false;
    const std::string dir = file.substr(0, file.rfind('/'));
    if (g_mkdir_with_parents(dir.c_str(), 0700) != 0) return false;
    // Private to the user, as the cache's rules ask, whatever the umask.
    static std::atomic<unsigned> serial{0};
    const std::string temp = file + "." + std::to_string(getpid()) + "-" + std::to_string(++serial) + ".png";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < png.size()) {
        const ssize_t n = ::write(fd, png.data() + done, png.size() - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    const bool ok = ::close(fd) == 0 && done == png.size();
    if (!ok || std::rename(temp.c_str(), file.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace thumbs
