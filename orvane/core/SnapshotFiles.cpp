#include "orvane/core/SnapshotFiles.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "common/DibImage.h"
#include "orvane/core/Settings.h"
#include "ornix/Ornix.h"
#include "platform/Paths.h"

namespace orvane {
namespace {

constexpr size_t kBmpHeaders = 14 + 40;

uint32_t Get32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// "BM", a file-size field that matches the file and room for both headers.
bool HoldsWholeBmp(const std::string& path, off_t size) {
    if (size < off_t(kBmpHeaders)) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char head[14];
    const bool read = std::fread(head, 1, sizeof head, f) == sizeof head;
    std::fclose(f);
    return read && head[0] == 'B' && head[1] == 'M' && off_t(Get32(head + 2)) == size;
}

}  // namespace

std::string GeneratedName(const char* folder, const char* prefix, int number, const char* extension) {
    std::string name = folder ? folder : "";
    name += prefix ? prefix : "";
    name += std::to_string(number);
    name += '.';
    name += extension ? extension : "";
    return name;
}

bool FitsPathField(const std::string& name) { return !name.empty() && name.size() < kPathSize; }

FileStamp StampOf(const std::string& path) {
    FileStamp s;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    return s;
}

bool IsFreshBmp(const std::string& path, const FileStamp& before) {
    const FileStamp now = StampOf(path);
    if (!now.exists) return false;
    const bool changed = !before.exists || now.device != before.device || now.inode != before.inode ||
                         now.size != before.size || now.mtimeNs != before.mtimeNs;
    return changed && HoldsWholeBmp(path, now.size);
}

bool ReencodeAsJpeg(const std::string& path, int quality) {
    CDibImage image(CDibImage::Kind::Viewer);
    if (!image.Load(path)) return false;
    return SaveJPG(path.c_str(), image.PixelBlock(), std::clamp(quality, 10, 100)) != 0;
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in || to.empty()) return false;
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    return plat::AtomicWriteFile(to, data);
}

void RemoveIfNew(const std::string& path, const FileStamp& before) {
    if (before.exists || path.empty()) return;
    if (StampOf(path).exists) ::unlink(path.c_str());
}

std::string FolderWithoutSlash(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace orvane
