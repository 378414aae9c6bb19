#include "orvane/core/Schedule.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/Paths.h"
#include "platform/Profile.h"

namespace orvane {

namespace {

const char kSection[] = "MyParKey";
constexpr int kEarly = 2;  // a start fires from 2 s before its time

std::string EntryKey(int index) { return std::to_string(index) + "Data"; }

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

// The window's end: a zero or negative duration still gives its start one second.
std::time_t WindowEnd(std::time_t start, const ScheduleEntry& e) {
    return start + std::time_t(std::max(DurationSeconds(e), 1LL));
}

}  // namespace

int64_t StartKey(const ScheduleEntry& e) {
    return ((((int64_t(e.year) * 100 + e.month) * 100 + e.day) * 100 + e.hour) * 100 + e.minute) * 100 + e.second;
}

void NormaliseDuration(ScheduleEntry& e) {
    if (e.durSeconds >= 60) {
        e.durMinutes += e.durSeconds / 60;
        e.durSeconds %= 60;
    }
    if (e.durMinutes >= 60) {
        e.durHours += e.durMinutes / 60;
        e.durMinutes %= 60;
    }
}

long long DurationSeconds(const ScheduleEntry& e) {
    return (long long)e.durHours * 3600 + (long long)e.durMinutes * 60 + e.durSeconds;
}

bool StartTime(const ScheduleEntry& e, std::time_t& start) {
    if (e.year < 1900 || e.year > 9999 || e.month < 1 || e.month > 12 || e.day < 1 ||
        e.day > DaysInMonth(e.year, e.month) || e.hour < 0 || e.hour > 23 || e.minute < 0 || e.minute > 59 ||
        e.second < 0 || e.second > 59)
        return false;
    std::tm tm{};
    tm.tm_year = e.year - 1900;
    tm.tm_mon = e.month - 1;
    tm.tm_mday = e.day;
    tm.tm_hour = e.hour;
    tm.tm_min = e.minute;
    tm.tm_sec = e.second;
    tm.tm_isdst = -1;
    start = std::mktime(&tm);
    return start != std::time_t(-1);
}

std::string Schedule::DefaultFile() { return plat::DataHome() + "ToT.ini"; }

void Schedule::Load(const std::string& file) {
    // Read as text: a huge count must not wrap round to a negative one.
    char text[32] = {};
    plat::GetPrivateProfileStringA(kSection, "iCnt", "0", text, sizeof text, file.c_str());
    const long long n = std::strtoll(text, nullptr, 10);
    count_ = int(std::clamp(n, 0LL, (long long)kScheduleSize));
    for (int i = 0; i < count_; ++i)
        plat::GetPrivateProfileStructA(kSection, EntryKey(i).c_str(), &entries_[size_t(i)], sizeof(ScheduleEntry),
                                       file.c_str());
}

bool Schedule::Save(const std::string& file) const {
    std::vector<std::pair<std::string, std::string>> values;
    values.emplace_back("iCnt", std::to_string(count_));
    for (int i = 0; i < count_; ++i)
        values.emplace_back(EntryKey(i), plat::FormatProfileStruct(&entries_[size_t(i)], sizeof(ScheduleEntry)));
    return plat::WritePrivateProfileValues(kSection, values, file.c_str()) != 0;
}

int Schedule::Insert(const ScheduleEntry& e) {
    if (Full()) return -1;
    const int64_t key = StartKey(e);
    int at = 0;
    while (at < count_ && StartKey(entries_[size_t(at)]) < key) ++at;
    std::move_backward(entries_.begin() + at, entries_.begin() + count_, entries_.begin() + count_ + 1);
    entries_[size_t(at)] = e;
    ++count_;
    return at;
}

int Schedule::Remove(int index) {
    if (index < 0 || index >= count_) return index;
    std::move(entries_.begin() + index + 1, entries_.begin() + count_, entries_.begin() + index);
    count_ = std::max(count_ - 1, 0);
    return index < count_ ? index : count_ - 1;
}

void Schedule::FindNextEntry(RunTime& rt, std::time_t now) {
    pending_ = false;
    for (int i = 0; i < count_ && !pending_; ++i) {
        const ScheduleEntry& e = entries_[size_t(i)];
        std::time_t start = 0;
        if (!StartTime(e, start) || now >= WindowEnd(start, e)) continue;
        const Id id{StartKey(e), DurationSeconds(e)};
        if (fired_.count(id)) continue;
        pending_ = true;
        pendingId_ = id;
        pendingStart_ = start;
        pendingEnd_ = WindowEnd(start, e);
        rt.lh = e.durHours, rt.lm = e.durMinutes, rt.ls = e.durSeconds;
        rt.bh = e.hour, rt.bm = e.minute, rt.bs = e.second;
    }
    rt.b = rt.l = pending_ ? 1 : 0;
}

bool Schedule::TakeDue(RunTime& rt, std::time_t now) {
    if (!pending_ || now < pendingStart_ - kEarly || now >= pendingEnd_) return false;
    fired_.insert(pendingId_);
    pending_ = false;
    if (now > pendingStart_) {
        // Started late: record what is left of the window.
        const long long rest = pendingEnd_ - now;
        rt.lh = int(rest / 3600), rt.lm = int(rest / 60 % 60), rt.ls = int(rest % 60);
    }
    return true;
}

Schedule& Sched() {
    static Schedule schedule;
    return schedule;
}

}  // namespace orvane
