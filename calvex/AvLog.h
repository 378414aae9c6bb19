// libavformat/libavcodec print their remarks on damaged files ("Packet
// corrupt", "start time for stream 0 is not set") to the terminal of whoever
// started the program. The browser routes them here instead: dropped unless
// TELLURA_LIBAV_LOG names a level (error, warning, info, verbose, debug; any
// other value means warning), then written to standard error, prefixed.
#pragma once

namespace calvex {

// Installs the route (again: another part of the process may have replaced it).
void RouteLibavLog();
// The level TELLURA_LIBAV_LOG asks for; -8 (quiet) when unset or empty.
int LibavLogLevel(const char* setting);

}  // namespace calvex
