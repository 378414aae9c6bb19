// The process-wide library context and the helpers every export module uses.
#include "strova/core/Context.h"

#include "platform/Window.h"
#include "strova/card/Card.h"
#include "strova/graph/Events.h"
#include "strova/graph/VideoWindow.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace strova::core {

CardContext::CardContext() = default;
CardContext::~CardContext() = default;

// Call only once the graph is released: nothing here stops media.
void CardContext::Reset() {
  std::memset(captureFile, 0, sizeof captureFile);
  pipeline = captureFilter = cardFilter = renderer = nullptr;
  videoWindow.reset();
  events.reset();
  device.reset();
  pinFormat[0].clear();
  pinFormat[1].clear();
  captureBuilt = previewBuilt = capturing = 0;
  graphState = STROVA_STATE_STOPPED;
  captureAudio = captureIsVideo = 0;
  frameRate = kDefaultFrameRate;
  useFrameRate = 0;
  ownerWindow = messageDrain = notifyWindow = nullptr;
  windowRect = {};
  notifyMessage = 0;
  yuvMode = 0;
}

LibraryContext& Context() {
  static LibraryContext context;
  return context;
}

bool ValidCard(int card) {
  return card >= 0 && card < kMaxCards && card < Context().cardCount;
}

CardContext* CardAt(int card) {
  return ValidCard(card) ? &Context().cards[static_cast<size_t>(card)] : nullptr;
}

void Notify(int card, unsigned int code, uintptr_t wParam) {
  CardContext* c = CardAt(card);
  if (!c || !c->notifyWindow) return;
  const intptr_t lParam = static_cast<intptr_t>(((static_cast<uint32_t>(card) & 0xFFFFu) << 16) | (code & 0xFFFFu));
  plat::PostMessage(c->notifyWindow, c->notifyMessage, wParam, lParam);
}

void SetDiagnostic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(Context().diagnosticText, kDiagLen, format, args);
  va_end(args);
}

void CopyField(char* dst, size_t size, const std::string& text) {
  if (!dst || size == 0) return;
  const size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(dst, text.data(), n);
  dst[n] = '\0';
}

}  // namespace strova::core
