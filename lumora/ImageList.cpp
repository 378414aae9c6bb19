// The list model: folder scan, the three orders and paging.
#include "lumora/ImageList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <memory>

namespace lumora {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

std::string UpperAscii(const std::string& s) {
    std::string out(s);
    for (char& c : out) c = Upper(c);
    return out;
}

bool EndsWithNoCase(const std::string& name, const char* tail) {
    const size_t n = std::char_traits<char>::length(tail);
    if (name.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (Upper(name[name.size() - n + i]) != Upper(tail[i])) return false;
    return true;
}

// Birth time where the file system records it, else the modification time.
int64_t CreationTime(int dirFd, const char* name) {
    struct statx st {};
    if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &st) != 0) return 0;
    if (st.stx_mask & STATX_BTIME) return st.stx_btime.tv_sec;
    return st.stx_mtime.tv_sec;
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

}  // namespace

bool HasImageTail(const std::string& name) {
    static const char* const kTails[] = {"BMP", "GIF", "PCX", "TGA", "JPG", "TIF"};
    for (const char* t : kTails)
        if (EndsWithNoCase(name, t)) return true;
    return false;
}

int TypeRank(const std::string& name) {
    static const char* const kPatterns[] = {".bmp", ".gif", ".jpg", ".pcx", ".tga", ".tif"};
    for (int i = 0; i < 6; ++i)
        if (EndsWithNoCase(name, kPatterns[i])) return i;
    return -1;
}

bool NaturalLess(const std::string& a, const std::string& b) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            while (i < a.size() && a[i] == '0') ++i;
            while (j < b.size() && b[j] == '0') ++j;
            const size_t si = i, sj = j;
            while (i < a.size() && digit(a[i])) ++i;
            while (j < b.size() && digit(b[j])) ++j;
            // Without leading zeros the longer run is the larger number.
            if (i - si != j - sj) return i - si < j - sj;
            const int c = a.compare(si, i - si, b, sj, j - sj);
            if (c != 0) return c < 0;
            continue;
        }
        const unsigned char ca = static_cast<unsigned char>(Upper(a[i])), cb = static_cast<unsigned char>(Upper(b[j]));
        if (ca != cb) return ca < cb;
        ++i, ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;
}

void CImageList::Reset() {
    entries_.clear();
    pageFirst_ = current_ = selected_ = 0;
    single_ = false;
}

bool CImageList::Refresh(const std::string& folder) {
    Reset();
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) return false;
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    // Type order lists "*.bmp" matches first, then "*.gif" and so on, each
    // group in natural name order; name and date order start from the
    // directory order and sort stably, so equal keys keep it.
    std::array<std::vector<ImageEntry>, 6> byType;
    while (dirent* e = readdir(dir.get())) {
        const std::string name = e->d_name;
        if (sortMode_ == kSortByType) {
            const int rank = TypeRank(name);
            if (rank >= 0) byType[size_t(rank)].push_back({name, prefix + name, 0});
        } else if (HasImageTail(name)) {
            const int64_t t = sortMode_ == kSortByDate ? CreationTime(dirfd(dir.get()), e->d_name) : 0;
            entries_.push_back({name, prefix + name, t});
        }
    }
    if (sortMode_ == kSortByType) {
        // Within a type, names in natural order (img2 before img10).
        for (auto& group : byType) {
            std::sort(group.begin(), group.end(),
                      [](const ImageEntry& a, const ImageEntry& b) { return NaturalLess(a.name, b.name); });
            for (auto& entry : group) entries_.push_back(std::move(entry));
        }
    } else if (sortMode_ == kSortByName) {
        std::vector<std::pair<std::string, size_t>> keys;
        keys.reserve(entries_.size());
        for (size_t i = 0; i < entries_.size(); ++i) keys.emplace_back(UpperAscii(entries_[i].name), i);
        // std::string compares its characters as unsigned bytes.
        std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<ImageEntry> sorted;
        sorted.reserve(entries_.size());
        for (auto& k : keys) sorted.push_back(std::move(entries_[k.second]));
        entries_ = std::move(sorted);
    } else {
        std::stable_sort(entries_.begin(), entries_.end(),
                         [](const ImageEntry& a, const ImageEntry& b) { return a.time < b.time; });
    }
    return true;
}

int CImageList::PageCount() const {
    const int left = int(entries_.size()) - pageFirst_;
    return std::clamp(left, 0, kPageSize);
}

std::string CImageList::CurrentPath() const {
    return size_t(current_) < entries_.size() ? entries_[size_t(current_)].path : std::string();
}

bool CImageList::CanNext() const {
    const int n = int(entries_.size());
    return single_ ? current_ + 1 < n : pageFirst_ + kPageSize < n;
}

bool CImageList::CanPrevious() const { return single_ ? current_ > 0 : pageFirst_ > 0; }

bool CImageList::Next() {
    selected_ = 0;
    if (!CanNext()) return false;
    if (single_) {
        ++current_;
    } else {
        pageFirst_ += kPageSize;
        current_ = pageFirst_;
    }
    return true;
}

bool CImageList::Previous() {
    selected_ = 0;
    if (!CanPrevious()) return false;
    if (single_) {
        --current_;
    } else {
        pageFirst_ = std::max(0, pageFirst_ - kPageSize);
        current_ = pageFirst_;
    }
    return true;
}

bool CImageList::First() {
    selected_ = 0;
    if (!CanFirst()) return false;
    current_ = 0;
    if (!single_) pageFirst_ = 0;
    return true;
}

bool CImageList::Last() {
    selected_ = 0;
    if (!CanLast()) return false;
    const int n = int(entries_.size());
    if (single_) {
        current_ = n - 1;
    } else {
        const int r = n % kPageSize;
        pageFirst_ = current_ = n - (r == 0 ? kPageSize : r);
    }
    return true;
}

bool CImageList::Select(int cell) {
    if (cell < 0 || cell >= PageCount()) return false;
    selected_ = cell;
    current_ = pageFirst_ + cell;
    return true;
}

bool CImageList::ShowSingle(int cell) {
    if (!Select(cell)) return false;
    single_ = true;
    return true;
}

void CImageList::ShowMulti() {
    single_ = false;
    selected_ = current_ % kPageSize;
    pageFirst_ = current_ - selected_;
}

void CImageList::Rename(size_t i, const std::string& name, const std::string& path) {
    if (i >= entries_.size()) return;
    entries_[i].name = name;
    entries_[i].path = path;
}

}  // namespace lumora
