// Worker threads for thumbnails and the single image.
#include "lumora/Loader.h"

#include <sys/stat.h>

#include "common/DibImage.h"
#include "lumora/ThumbCache.h"

namespace lumora {
namespace {
constexpr size_t kMemo = 45;  // five pages
}

CThumbLoader::CThumbLoader(Done done, unsigned threads) : done_(std::move(done)) {
    if (threads == 0) threads = std::max(2u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Run(); });
}

CThumbLoader::~CThumbLoader() {
    {
        std::lock_guard<std::mutex> lock(mu_);
        stop_ = true;
        queue_.clear();
    }
    cv_.notify_all();
    for (auto& w : workers_) w.join();
}

std::string CThumbLoader::Key(const ThumbJob& job) const {
    struct stat st {};
    if (::stat(job.path.c_str(), &st) != 0) return std::string();
    return job.path + '\n' + std::to_string(st.st_size) + ':' + std::to_string(st.st_mtim.tv_sec) + '.' +
           std::to_string(st.st_mtim.tv_nsec) + ':' + std::to_string(job.boxW) + 'x' + std::to_string(job.boxH);
}

std::shared_ptr<const Thumb> CThumbLoader::Cached(const ThumbJob& job) {
    const std::string key = Key(job);
    std::lock_guard<std::mutex> lock(mu_);
    for (auto it = memo_.begin(); it != memo_.end(); ++it)
        if (it->first == key) {
            memo_.splice(memo_.begin(), memo_, it);
            return it->second;
        }
    return nullptr;
}

void CThumbLoader::Remember(const std::string& key, std::shared_ptr<const Thumb> t) {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto it = memo_.begin(); it != memo_.end(); ++it)
        if (it->first == key) {
            memo_.erase(it);
            break;
        }
    memo_.emplace_front(key, std::move(t));
    if (memo_.size() > kMemo) memo_.pop_back();
}

uint64_t CThumbLoader::LoadPage(const std::vector<ThumbJob>& page, const std::vector<ThumbJob>& prefetch) {
    uint64_t ticket;
    {
        std::lock_guard<std::mutex> lock(mu_);
        ticket = ++ticket_;
        queue_.clear();
        for (size_t i = 0; i < page.size(); ++i) queue_.push_back({ticket, int(i), page[i]});
        for (const auto& job : prefetch) queue_.push_back({ticket, -1, job});
    }
    cv_.notify_all();
    return ticket;
}

void CThumbLoader::Forget() {
    std::lock_guard<std::mutex> lock(mu_);
    memo_.clear();
}

// The next piece of work: a thumbnail of the page, else a cache entry to
// write, else a thumbnail of the next page. False when stopped and every
// entry is written.
bool CThumbLoader::Next(Task& task, std::function<void()>& write) {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [this] { return stop_ || !queue_.empty() || !writes_.empty(); });
    // Stopping drops the queue but still writes the entries already made.
    if (!writes_.empty() && (stop_ || queue_.empty() || queue_.front().slot < 0)) {
        write = std::move(writes_.front());
        writes_.pop_front();
        return true;
    }
    if (stop_) return false;
    task = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

void CThumbLoader::Run() {
    for (;;) {
        Task task;
        std::function<void()> write;
        if (!Next(task, write)) return;
        if (write) {
            write();
            continue;
        }
        const std::string key = Key(task.job);
        std::shared_ptr<const Thumb> thumb = key.empty() ? nullptr : Cached(task.job);
        std::function<void()> writeCache;
        if (!thumb) {
            thumb = std::make_shared<const Thumb>(
                LoadThumbnail(task.job.path, task.job.boxW, task.job.boxH, &writeCache));
            if (!key.empty()) Remember(key, thumb);
        }
        if (task.slot >= 0) done_(task.ticket, task.slot, std::move(thumb));
        if (writeCache) {
            std::lock_guard<std::mutex> lock(mu_);
            writes_.push_back(std::move(writeCache));
        }
        cv_.notify_one();
    }
}

CSingleLoader::CSingleLoader(Done done) : done_(std::move(done)) { worker_ = std::thread([this] { Run(); }); }

CSingleLoader::~CSingleLoader() {
    {
        std::lock_guard<std::mutex> lock(mu_);
        stop_ = true;
    }
    cv_.notify_all();
    worker_.join();
}

uint64_t CSingleLoader::Load(const std::string& path) {
    std::lock_guard<std::mutex> lock(mu_);
    path_ = path;
    wanted_ = ++ticket_;
    cv_.notify_all();
    return wanted_;
}

void CSingleLoader::Prefetch(const std::string& path) {
    std::lock_guard<std::mutex> lock(mu_);
    if (path == readyPath_ && ready_) return;
    aheadPath_ = path;
    cv_.notify_all();
}

std::shared_ptr<CDibImage> CSingleLoader::TakePrefetched(const std::string& path) {
    std::lock_guard<std::mutex> lock(mu_);
    if (!ready_ || readyPath_ != path) return nullptr;
    readyPath_.clear();
    return std::move(ready_);
}

void CSingleLoader::Run() {
    for (;;) {
        std::string path;
        uint64_t ticket;
        {
            std::unique_lock<std::mutex> lock(mu_);
            cv_.wait(lock, [this] { return stop_ || wanted_ != 0 || !aheadPath_.empty(); });
            if (stop_) return;
            path = wanted_ != 0 ? path_ : aheadPath_;
            ticket = wanted_;
            if (ticket != 0) wanted_ = 0;
            else aheadPath_.clear();
        }
        auto image = std::make_shared<CDibImage>(CDibImage::Kind::Browser);
        image->Load(path);
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (stop_) return;
            if (ticket == 0) {  // decoded ahead: kept until asked for
                readyPath_ = path;
                ready_ = std::move(image);
                continue;
            }
            if (wanted_ != 0) continue;  // a newer request supersedes this one
        }
        done_(ticket, std::move(image));
    }
}

}  // namespace lumora
