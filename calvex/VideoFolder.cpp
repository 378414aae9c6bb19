// Folder listing and the workers that fill it in.
#include "calvex/VideoFolder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "common/ThumbFiles.h"

namespace calvex {
namespace {

constexpr const char* kSoftware = "Calvex";

bool EndsWithCi(const std::string& s, const char* ext) {
    const size_t n = std::strlen(ext);
    return s.size() > n && strcasecmp(s.c_str() + s.size() - n, ext) == 0;
}

}  // namespace

bool IsVideoName(const std::string& name) {
    static const char* const kExt[] = {".mpg", ".mpeg", ".m2p", ".vob", ".dat", ".avi", ".mp4", ".m4v", ".mkv",
                                       ".webm", ".mov", ".ts", ".m2ts", ".mts", ".ogv", ".wmv", ".flv", ".3gp"};
    if (name.empty() || name[0] == '.') return false;
    return std::any_of(std::begin(kExt), std::end(kExt), [&](const char* e) { return EndsWithCi(name, e); });
}

size_t StemLength(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name.size() : dot;
}

std::string RenamedName(const std::string& oldName, const std::string& typed) {
    if (typed.empty() || IsVideoName(typed)) return typed;
    return typed + oldName.substr(StemLength(oldName));
}

std::vector<size_t> SortOrder(const std::vector<Recording>& list, Column column, bool ascending) {
    std::vector<size_t> order(list.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto key = [&](const Recording& a, const Recording& b) -> int {
        switch (column) {
        case Column::Name: return strcasecmp(a.name.c_str(), b.name.c_str());
        case Column::Duration: {
            // Unknown durations sort before every known one.
            const double x = a.probed ? a.info.duration : -2, y = b.probed ? b.info.duration : -2;
            return x < y ? -1 : x > y ? 1 : 0;
        }
        case Column::Size: return a.size < b.size ? -1 : a.size > b.size ? 1 : 0;
        case Column::Date: return a.mtime < b.mtime ? -1 : a.mtime > b.mtime ? 1 : 0;
        case Column::Format: return a.info.format.compare(b.info.format);
        }
        return 0;
    };
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        const int k = key(list[x], list[y]);
        if (k != 0) return ascending ? k < 0 : k > 0;
        if (list[x].mtime != list[y].mtime) return list[x].mtime > list[y].mtime;
        return list[x].name < list[y].name;
    });
    return order;
}

std::string FormatDuration(double seconds) {
    if (!(seconds >= 0) || !std::isfinite(seconds)) return std::string();
    const long t = std::lround(seconds);
    char buf[32];
    if (t >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", t / 3600, t / 60 % 60, t % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", t / 60, t % 60);
    return buf;
}

std::string FormatSize(uint64_t bytes) {
    char buf[32];
    if (bytes < 1000) std::snprintf(buf, sizeof buf, "%llu bytes", static_cast<unsigned long long>(bytes));
    else if (bytes < 1000000) std::snprintf(buf, sizeof buf, "%.0f KB", bytes / 1e3);
    else if (bytes < 1000000000) std::snprintf(buf, sizeof buf, "%.1f MB", bytes / 1e6);
    else std::snprintf(buf, sizeof buf, "%.1f GB", bytes / 1e9);
    return buf;
}

VideoFolder::~VideoFolder() { Stop(); }

ScanResult VideoFolder::Scan(const std::string& folder) {
    Stop();
    std::vector<Recording> found;
    folder_ = folder;
    while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
    DIR* dir = opendir(folder_.c_str());
    ScanResult result = ScanResult::Ok;
    if (!dir) {
        result = (errno == ENOENT || errno == ENOTDIR) ? ScanResult::Missing : ScanResult::Unreadable;
    } else {
        while (dirent* e = readdir(dir)) {
            const std::string name = e->d_name;
            if (!IsVideoName(name)) continue;
            Recording r;
            r.path = folder_ + "/" + name;
            struct stat st {};
            if (::stat(r.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            r.name = name, r.size = uint64_t(st.st_size), r.mtime = st.st_mtim.tv_sec;
            found.push_back(std::move(r));
        }
        closedir(dir);
    }
    const std::vector<size_t> order = SortOrder(found, Column::Date, false);
    std::lock_guard<std::mutex> lock(mutex_);
    list_.clear();
    for (size_t i : order) list_.push_back(std::move(found[i]));
    gone_.assign(list_.size(), false);
    return result;
}

void VideoFolder::Fill(Listener listener, int threads, int frameBox) {
    Stop();
    stop_ = false;
    listener_ = std::move(listener);
    box_ = frameBox;
    nextProbe_ = nextFrame_ = 0;
    probedCount_ = framedCount_ = 0;
    probingLeft_ = 0;
    if (threads <= 0) threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    probingLeft_ = size_t(threads);
    for (int t = 0; t < threads; ++t) workers_.emplace_back([this, t] { Work(size_t(t)); });
}

void VideoFolder::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        probed_.notify_all();
    }
    for (std::thread& t : workers_) t.join();
    workers_.clear();
}

bool VideoFolder::AllProbed() const { return probedCount_ >= Count(); }
bool VideoFolder::AllFramed() const { return framedCount_ >= Count(); }

size_t VideoFolder::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return list_.size();
}

Recording VideoFolder::Get(size_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return index < list_.size() ? list_[index] : Recording{};
}

std::vector<Recording> VideoFolder::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return list_;
}

void VideoFolder::Renamed(size_t index, const std::string& newPath) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= list_.size()) return;
    list_[index].path = newPath;
    list_[index].name = newPath.substr(newPath.rfind('/') + 1);
}

void VideoFolder::Removed(size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < gone_.size()) gone_[index] = true;
}

bool VideoFolder::Gone(size_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return index < gone_.size() && gone_[index];
}

// Durations for every file first (from the cache or the container), then the
// frames the cache did not have.
void VideoFolder::Work(size_t) {
    const size_t n = Count();
    for (size_t i; !stop_ && (i = nextProbe_++) < n;) {
        const Recording r = Get(i);
        if (!FromCache(i, r)) Probe(i, r);
        ++probedCount_;
        if (listener_) listener_(i);
    }
    // The frames wait until every duration is in.
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (--probingLeft_ == 0) probed_.notify_all();
        probed_.wait(lock, [this] { return stop_ || probingLeft_ == 0; });
    }
    for (size_t i; !stop_ && (i = nextFrame_++) < n;) {
        const Recording r = Get(i);
        if (!r.framed) {
            MakeFrame(i, r);
            if (listener_) listener_(i);
        }
        ++framedCount_;
    }
}

bool VideoFolder::FromCache(size_t i, const Recording& r) {
    const std::string uri = thumbs::FileUri(r.path);
    if (uri.empty()) return false;
    thumbs::Entry e;
    const bool failed = thumbs::ReadEntry(thumbs::EntryFile(uri, "fail/calvex"), uri, r.mtime, e);
    if (!failed && !thumbs::ReadEntry(thumbs::EntryFile(uri, "large"), uri, r.mtime, e)) return false;
    const auto length = e.text.find("Thumb::Movie::Length");
    const auto format = e.text.find("X-Calvex::Format");
    if (format == e.text.end()) return false;  // written by another program: probe
    std::lock_guard<std::mutex> lock(mutex_);
    Recording& d = list_[i];
    d.probed = d.framed = true;
    d.info.ok = !format->second.empty();
    d.info.format = format->second;
    d.info.duration = length != e.text.end() ? std::strtod(length->second.c_str(), nullptr) : -1;
    if (!failed) d.frame = Frame{e.width, e.height, std::move(e.rgb)};
    return true;
}

void VideoFolder::Probe(size_t i, const Recording& r) {
    MediaInfo info = ProbeFile(r.path, &stop_);
    std::lock_guard<std::mutex> lock(mutex_);
    list_[i].info = std::move(info);
    list_[i].probed = true;
}

void VideoFolder::MakeFrame(size_t i, const Recording& r) {
    Frame f;
    const bool ok = r.info.ok && PreviewFrame(r.path, r.info.duration, box_, f, &stop_);
    if (stop_) return;
    // The cache keeps the frame with what the list shows; a file that gives
    // no picture gets a failure mark, tried again once it changes.
    const std::string uri = thumbs::FileUri(r.path);
    struct stat st {};
    if (!uri.empty() && ::stat(r.path.c_str(), &st) == 0 && st.st_mtim.tv_sec == r.mtime) {
        thumbs::Entry e;
        if (ok) e.width = f.width, e.height = f.height, e.rgb = f.rgb;
        e.text["X-Calvex::Format"] = r.info.format;
        if (r.info.duration >= 0) {
            char len[32];
            std::snprintf(len, sizeof len, "%.3f", r.info.duration);
            e.text["Thumb::Movie::Length"] = len;
        }
        thumbs::WriteEntry(thumbs::EntryFile(uri, ok ? "large" : "fail/calvex"), uri, r.mtime, e, kSoftware);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    list_[i].framed = true;
    list_[i].frame = std::move(f);
}

}  // namespace calvex
