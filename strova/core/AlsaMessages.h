// ALSA's messages go through the library's own handler instead of stderr.
#pragma once

#include <string>

namespace strova::core {

// Installs the handler once per process (libasound keeps one handler for
// every user in the process: GStreamer's ALSA elements and the viewer's mixer).
void RouteAlsaMessages();
// The last message ALSA reported, empty when none.
std::string LastAlsaMessage();

}  // namespace strova::core
