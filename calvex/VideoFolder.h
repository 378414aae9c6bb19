// The recordings of one folder, toolkit-free: the listing (names, sizes,
// dates) comes at once from the directory; durations, formats and preview
// frames are filled in by worker threads, durations first, so the list can
// be shown immediately and fills in. Preview frames live in the freedesktop
// thumbnail cache ("large"), which also carries the duration and format, so
// a second look at an unchanged file reads neither its container nor its
// pictures.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "calvex/Probe.h"

namespace calvex {

struct Recording {
    std::string path, name;
    uint64_t size = 0;
    time_t mtime = 0;
    bool probed = false;        // info holds what the file gave
    MediaInfo info;
    bool framed = false;        // the preview was tried; frame empty when none
    Frame frame;
};

enum class Column { Name, Duration, Size, Date, Format };
enum class ScanResult { Ok, Missing, Unreadable };

// Whether the name has an extension of a video file the player can play.
bool IsVideoName(const std::string& name);
// The name a rename gives: what was typed, with the recording's extension
// added when the typed name has no video extension of its own ("Holiday
// night" for "x.avi" gives "Holiday night.avi").
std::string RenamedName(const std::string& oldName, const std::string& typed);
// The length of the name without its extension (what a rename preselects).
size_t StemLength(const std::string& name);
// Indices of list in display order; ties keep newest first, then by name.
std::vector<size_t> SortOrder(const std::vector<Recording>& list, Column column, bool ascending);
// "1:02:03", "4:05"; "" when unknown.
std::string FormatDuration(double seconds);
// "700 KB", "1.4 MB", "2.1 GB" (decimal units, as the desktop's file manager).
std::string FormatSize(uint64_t bytes);

class VideoFolder {
public:
    // Called on a worker thread with the index of a recording that changed.
    using Listener = std::function<void(size_t index)>;

    ~VideoFolder();
    // Lists the folder's video files, newest first. Stops earlier work.
    ScanResult Scan(const std::string& folder);
    // Starts the workers that fill in info and frames (threads <= 0: one per core).
    void Fill(Listener listener, int threads = 0, int frameBox = 256);
    // Stops the workers and waits for them.
    void Stop();
    // True once every recording is probed (and framed).
    bool AllProbed() const;
    bool AllFramed() const;

    size_t Count() const;
    Recording Get(size_t index) const;        // a copy, safe against the workers
    std::vector<Recording> Snapshot() const;  // all of them, likewise
    const std::string& Folder() const { return folder_; }
    // Keeps the list in step with a rename or delete done by the window.
    void Renamed(size_t index, const std::string& newPath);
    void Removed(size_t index);  // the slot stays, marked gone (indices stay valid)
    bool Gone(size_t index) const;

private:
    void Work(size_t worker);
    bool FromCache(size_t i, const Recording& r);
    void Probe(size_t i, const Recording& r);
    void MakeFrame(size_t i, const Recording& r);

    std::string folder_;
    mutable std::mutex mutex_;
    std::vector<Recording> list_;
    std::vector<bool> gone_;
    std::vector<std::thread> workers_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> nextProbe_{0}, nextFrame_{0};
    std::atomic<size_t> probedCount_{0}, framedCount_{0};
    size_t probingLeft_ = 0;  // workers still probing; under mutex_
    std::condition_variable probed_;
    Listener listener_;
    int box_ = 256;
};

}  // namespace calvex
