// Background loading for the view, so no file ever blocks the user interface.
//
// CThumbLoader decodes the thumbnails of a page on worker threads, then those
// of the next page, and keeps the results in a small memory keyed by path,
// file size, modification time and box. A new page cancels what is queued.
// CSingleLoader loads the single image whole (the browser's image object) on
// its own thread; only the newest request is delivered. It can also decode
// one image ahead (the slide show's next entry) and hand it over when asked.
//
// Results come back on a worker thread through the callback; the view hands
// them to its own thread. Destruction waits for the workers.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lumora/Thumbnail.h"

class CDibImage;

namespace lumora {

struct ThumbJob {
    std::string path;
    int boxW = 0, boxH = 0;
};

class CThumbLoader {
public:
    using Done = std::function<void(uint64_t ticket, int slot, std::shared_ptr<const Thumb> thumb)>;
    // threads 0: one per processor, at least two.
    explicit CThumbLoader(Done done, unsigned threads = 0);
    ~CThumbLoader();
    CThumbLoader(const CThumbLoader&) = delete;
    CThumbLoader& operator=(const CThumbLoader&) = delete;

    // Already decoded for this job and the file unchanged: the thumbnail.
    std::shared_ptr<const Thumb> Cached(const ThumbJob& job);
    // Drops what is queued and loads the page (slot = position in page),
    // then decodes the prefetch jobs into the memory only. Returns the ticket
    // its results carry.
    uint64_t LoadPage(const std::vector<ThumbJob>& page, const std::vector<ThumbJob>& prefetch);
    void Forget();  // empties the memory (Refresh)

private:
    struct Task {
        uint64_t ticket;
        int slot;  // -1: prefetch
        ThumbJob job;
    };
    void Run();
    bool Next(Task& task, std::function<void()>& write);
    std::string Key(const ThumbJob& job) const;
    void Remember(const std::string& key, std::shared_ptr<const Thumb> t);

    Done done_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<Task> queue_;
    // Thumbnail cache entries still to write: they wait until no thumbnail
    // of the shown page is queued, so the page is drawn first.
    std::deque<std::function<void()>> writes_;
    std::list<std::pair<std::string, std::shared_ptr<const Thumb>>> memo_;
    uint64_t ticket_ = 0;
    bool stop_ = false;
    std::vector<std::thread> workers_;
};

class CSingleLoader {
public:
    using Done = std::function<void(uint64_t ticket, std::shared_ptr<CDibImage> image)>;
    explicit CSingleLoader(Done done);
    ~CSingleLoader();
    CSingleLoader(const CSingleLoader&) = delete;
    CSingleLoader& operator=(const CSingleLoader&) = delete;

    // Queues the load, replacing one not yet started; returns its ticket.
    uint64_t Load(const std::string& path);
    // Decodes path ahead, after any queued load, replacing an older one.
    void Prefetch(const std::string& path);
    // The image decoded ahead for path, when ready; it is handed over once.
    std::shared_ptr<CDibImage> TakePrefetched(const std::string& path);

private:
    void Run();

    Done done_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::string path_;
    std::string aheadPath_;  // to decode ahead; empty when none
    std::string readyPath_;  // decoded ahead, waiting in ready_
    std::shared_ptr<CDibImage> ready_;
    uint64_t ticket_ = 0, wanted_ = 0;
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace lumora
