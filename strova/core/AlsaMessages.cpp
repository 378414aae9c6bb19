// ALSA prints its own errors to the terminal (a machine without a sound card,
// a missing "default" mixer element). Those are outcomes the library and the
// viewer already handle as return values, so the text is dropped.
#include "strova/core/AlsaMessages.h"

#include <alsa/asoundlib.h>

#include <mutex>

namespace strova::core {
namespace {

void Drop(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

void RouteAlsaMessages() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&Drop); });
}

}  // namespace strova::core
