// The recording schedule: a table of up to 200 timed recordings kept in order
// of their start, its file "ToT.ini" (section "MyParKey", "iCnt" and one
// "<index>Data" struct per entry, byte-compatible with files written on
// Windows), and the search the main window's timer makes for the next entry.
//
// The search and the start test work on whole local dates and times: an
// entry fires only on its own day, and a tick that comes late (a busy
// machine, a modal dialog, a resume) still starts an entry whose time window
// [start, start + duration) is open, for the rest of that window. Each entry
// fires once per run of the viewer.
#pragma once
#include <array>
#include <cstdint>
#include <ctime>
#include <set>
#include <string>
#include <utility>

#include "orvane/core/Settings.h"

namespace orvane {

constexpr int kScheduleSize = 200;

// Nine 32-bit integers in file order.
struct ScheduleEntry {
    int32_t year, month, day, hour, minute, second;
    int32_t durHours, durMinutes, durSeconds;
};
static_assert(sizeof(ScheduleEntry) == 36);

// YYYYMMDDhhmmss as a number.
int64_t StartKey(const ScheduleEntry& e);
// Carries seconds >= 60 into minutes, then minutes >= 60 into hours;
// negative values stay as entered.
void NormaliseDuration(ScheduleEntry& e);
// Duration in seconds (negative parts count as entered).
long long DurationSeconds(const ScheduleEntry& e);
// The start as local time; false for a date or time that does not exist
// (31 February, month 13, hour 24 ...).
bool StartTime(const ScheduleEntry& e, std::time_t& start);

class Schedule {
public:
    // $XDG_DATA_HOME/Quorvel/Tellura/ToT.ini
    static std::string DefaultFile();

    int Count() const { return count_; }
    const ScheduleEntry& At(int i) const { return entries_[size_t(i)]; }
    ScheduleEntry& At(int i) { return entries_[size_t(i)]; }
    bool Full() const { return count_ >= kScheduleSize; }

    // "iCnt" (limited to 0..200), then each entry's key; an unreadable key
    // (missing, bad checksum, wrong length) leaves that entry as it was.
    void Load(const std::string& file = DefaultFile());
    // "iCnt" and every entry in one atomic write; false when it failed.
    bool Save(const std::string& file = DefaultFile()) const;

    // Inserts before the first entry whose start is not earlier, raises the
    // count and returns the position; -1 (nothing added) when full.
    int Insert(const ScheduleEntry& e);
    // Removes entry index; returns the index to select next.
    int Remove(int index);
    void Clear() { count_ = 0; }

    // Timer step 1: fills the pending values of rt ("b", "bh".."bs", "l",
    // "lh".."ls") from the first entry in order whose window is still open
    // at `now` and that has not fired yet, or clears "b" and "l".
    void FindNextEntry(RunTime& rt, std::time_t now);
    // Timer step 2 test: true when the pending entry's window is open at
    // `now` (from 2 s before its start). The entry is then marked fired, and
    // when the start was missed rt's pending length becomes the rest of it.
    bool TakeDue(RunTime& rt, std::time_t now);
    // Forgets which entries fired (tests; a new run).
    void ResetFired() { fired_.clear(); }

private:
    using Id = std::pair<int64_t, long long>;  // start key and duration
    std::array<ScheduleEntry, kScheduleSize> entries_{};
    int count_ = 0;
    std::set<Id> fired_;
    bool pending_ = false;
    Id pendingId_{};
    std::time_t pendingStart_ = 0, pendingEnd_ = 0;
};

// The viewer's one schedule.
Schedule& Sched();

}  // namespace orvane
