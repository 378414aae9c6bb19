// Time sources. All calls are thread-safe.
#pragma once
#include "platform/Types.h"

namespace plat {
// Milliseconds of CLOCK_MONOTONIC; wraps like a 32-bit tick counter.
DWORD GetTickCount();

struct LocalTime {
  int year, month, day, hour, minute, second, dayOfWeek;  // month 1..12, dayOfWeek 0 = Sunday
};
// The current wall-clock time in the local time zone.
LocalTime GetLocalTime();

// Boot time in seconds since the epoch (btime of /proc/stat), 0 when unknown.
uint64_t BootTime();
}  // namespace plat
