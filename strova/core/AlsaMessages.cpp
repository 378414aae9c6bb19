// ALSA prints its own errors to the terminal (a machine without a sound card,
// a missing "default" mixer element). Those are outcomes the library and the
// viewer already handle as return values, so the text is dropped; the last
// one is kept for the library's diagnostics.
#include "strova/core/AlsaMessages.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace strova::core {
namespace {

std::mutex g_mu;
char g_last[256];

void Keep(const char* file, int line, const char* function, int err, const char* fmt, ...) {
  (void)file;
  (void)line;
  (void)function;
  (void)err;
  std::lock_guard lock(g_mu);
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(g_last, sizeof g_last, fmt, ap);
  va_end(ap);
}

}  // namespace

void RouteAlsaMessages() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&Keep); });
}

std::string LastAlsaMessage() {
  std::lock_guard lock(g_mu);
  return g_last;
}

}  // namespace strova::core
