#include "platform/Clock.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace plat {

DWORD GetTickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<DWORD>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

LocalTime GetLocalTime() {
  time_t now = time(nullptr);
  tm t{};
  localtime_r(&now, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_wday};
}

uint64_t BootTime() {
  FILE* f = std::fopen("/proc/stat", "r");
  if (!f) return 0;
  char line[256];
  unsigned long long value = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::sscanf(line, "btime %llu", &value) == 1) break;
  }
  std::fclose(f);
  return value;
}

}  // namespace plat
