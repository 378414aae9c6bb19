// The image browser's thumbnails in the freedesktop cache: which entry
// serves a box, and what the entries carry for a picture.
#include "lumora/ThumbCache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "common/Orientation.h"
#include "common/ThumbFiles.h"
#include "lumora/ViewLayout.h"
#include "ornix/Ornix.h"

namespace lumora {
namespace {

// Marks the entries whose picture is upright (EXIF orientation applied).
constexpr char kUprightKey[] = "X-Lumora::Upright";

int OptionInt(const thumbs::Entry& e, const char* key) {
    const auto it = e.text.find(key);
    return it != e.text.end() ? std::atoi(it->second.c_str()) : -1;
}

// Width and height from the file's own header (upright, for a JPEG with an
// EXIF orientation), for entries other programs wrote without the picture
// size. JPEG and BMP only: the label of these is always 16M; false for every
// other type.
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
        if (h == INT_MIN) return false;  // no positive height to give
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
            if (orient::SwapsAxes(orient::JpegOrientation(d, head.size()))) std::swap(w, h);
            return w > 0 && h > 0;
        }
        i += 2 + len;
    }
    return false;
}

// The cached picture when it is for this file as it is now.
bool ReadCached(const std::string& file, const std::string& uri, const std::string& path, time_t mtime, Thumb& t) {
    thumbs::Entry e;
    if (!thumbs::ReadEntry(file, uri, mtime, e)) return false;
    t.width = OptionInt(e, "Thumb::Image::Width");
    t.height = OptionInt(e, "Thumb::Image::Height");
    t.colours = OptionInt(e, "X-Lumora::Colours");
    // Our entries from before orientation was applied are made again.
    if (t.colours >= 0 && OptionInt(e, kUprightKey) < 0) return false;
    if (t.colours < 0) {
        // Written elsewhere: only files whose label the header gives.
        if (!HeaderSize(path, t.width, t.height)) return false;
        t.colours = 0;
    }
    if (t.width <= 0 || t.height <= 0) return false;
    t.pixW = e.width, t.pixH = e.height, t.rgb = std::move(e.rgb), t.ok = true;
    return true;
}

void WriteCached(const std::string& file, const std::string& uri, time_t mtime, const Thumb& t) {
    thumbs::Entry e;
    e.width = t.pixW, e.height = t.pixH, e.rgb = t.rgb;
    e.text = {{"Thumb::Image::Width", std::to_string(t.width)},
              {"Thumb::Image::Height", std::to_string(t.height)},
              {"X-Lumora::Colours", std::to_string(t.colours)},
              {kUprightKey, "1"}};
    thumbs::WriteEntry(file, uri, mtime, e, "Lumora");
}

// The failure entry carries the file's URI and modification time, so a file
// that does not decode is not tried again until it changes.
bool FailedBefore(const std::string& uri, time_t mtime) {
    thumbs::Entry e;
    return thumbs::ReadEntry(thumbs::EntryFile(uri, "fail/lumora"), uri, mtime, e);
}

void WriteFailed(const std::string& uri, time_t mtime) {
    thumbs::WriteEntry(thumbs::EntryFile(uri, "fail/lumora"), uri, mtime, thumbs::Entry{}, "Lumora");
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
    const std::string uri = thumbs::FileUri(path);
    if (uri.empty()) return std::string();
    return thumbs::EntryFile(uri, size == 256 ? "large" : "x-large");
}

Thumb LoadThumbnail(const std::string& path, int boxW, int boxH, std::function<void()>* deferredWrite) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return DecodeThumbnail(path, boxW, boxH);
    const std::string uri = thumbs::FileUri(path);
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
