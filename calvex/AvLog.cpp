#include "calvex/AvLog.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <strings.h>

namespace calvex {
namespace {

int g_level = AV_LOG_QUIET;

void Write(void* avcl, int level, const char* fmt, va_list vl) {
    if (level > g_level) return;
    char line[1024];
    int prefix = 1;
    av_log_format_line2(avcl, level, fmt, vl, line, sizeof line, &prefix);
    std::fprintf(stderr, "calvex: libav: %s", line);
    const size_t n = std::strlen(line);
    if (n == 0 || line[n - 1] != '\n') std::fputc('\n', stderr);
}

}  // namespace

int LibavLogLevel(const char* setting) {
    if (!setting || !*setting) return AV_LOG_QUIET;
    static const struct {
        const char* name;
        int level;
    } kLevels[] = {{"error", AV_LOG_ERROR}, {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
                   {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG}};
    for (const auto& l : kLevels)
        if (!strcasecmp(setting, l.name)) return l.level;
    return AV_LOG_WARNING;
}

void RouteLibavLog() {
    static std::once_flag once;
    std::call_once(once, [] { g_level = LibavLogLevel(std::getenv("TELLURA_LIBAV_LOG")); });
    // Set each time: GStreamer's libav plugin, loaded by the player, installs
    // its own route (into GStreamer's debug log) when it starts.
    av_log_set_callback(&Write);
}

}  // namespace calvex
