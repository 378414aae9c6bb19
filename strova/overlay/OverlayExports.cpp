// Overlay exports: checks in the fixed order, then the companion filter's
// overlay does the work. The overlay converts whatever format the device
// delivers, so it draws in the YUV connection as well; only a connection
// whose video path does not carry it refuses.
#include "strova/core/Context.h"
#include "strova/overlay/VideoOverlay.h"

namespace {

using strova::overlay::VideoOverlay;

template <typename Op>
STROVA_STATUS WithOverlay(int card, Op op) {
  auto* c = strova::core::CardAt(card);
  if (!c) return E_INVALIDARG;
  VideoOverlay* ov = strova::overlay::FindOverlay(c->cardFilter);
  if (!c->cardFilter || !ov) return E_FAIL;
  if (!ov->InVideoPath()) return VFW_E_WRONG_STATE;
  return op(*ov) ? S_OK : E_FAIL;
}

}  // namespace

extern "C" {

STROVA_API STROVA_STATUS Strova_SetLogoFile(int card, const char* path) {
  return WithOverlay(card, [&](VideoOverlay& o) { return path && o.SetLogoFile(path); });
}

STROVA_API STROVA_STATUS Strova_ShowLogo(int card, int show, int x, int y) {
  return WithOverlay(card, [&](VideoOverlay& o) { return o.ShowLogo(show, x, y); });
}

STROVA_API STROVA_STATUS Strova_ShowTime(int card, int show, int x, int y) {
  return WithOverlay(card, [&](VideoOverlay& o) { return o.ShowTime(show, x, y); });
}

STROVA_API STROVA_STATUS Strova_ShowDate(int card, int show, int x, int y) {
  return WithOverlay(card, [&](VideoOverlay& o) { return o.ShowDate(show, x, y); });
}

STROVA_API STROVA_STATUS Strova_ShowLogoTimeOnUserStream(int card, int value) {
  return WithOverlay(card, [&](VideoOverlay& o) { return o.DrawOnUserStream(value); });
}

// The companion filter's get-stream request: its two values select nothing
// here; it reports whether the overlay stream is available.
STROVA_API STROVA_STATUS Strova_GetVideoStream(int card, long a, long b) {
  (void)a;
  (void)b;
  return WithOverlay(card, [](VideoOverlay& o) { return o.Valid(); });
}

}  // extern "C"
