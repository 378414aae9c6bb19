// ALSA's messages go through the library's own handler instead of stderr.
#pragma once

namespace strova::core {

// Installs the handler once per process (libasound keeps one handler for
// every user in the process: GStreamer's ALSA elements and the viewer's mixer).
void RouteAlsaMessages();

}  // namespace strova::core
