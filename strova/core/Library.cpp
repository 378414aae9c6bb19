// Library-wide exports: start-up, shut-down, device enumeration, card count,
// notification window and the translation of graph events into notifications.
#include "strova/Strova.h"
#include "strova/card/Card.h"
#include "strova/capture/RecordingRepair.h"
#include "strova/core/AlsaMessages.h"
#include "strova/core/Context.h"
#include "strova/core/SharedState.h"
#include "strova/filters/StreamFilters.h"
#include "strova/filters/mpeg/Compressors.h"
#include "strova/graph/Graph.h"

#include <gst/gst.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace strova::core;

namespace {

// Pin names follow the user's language: the Chinese names (UTF-8) for
// simplified Chinese, the English names for every other language, also one
// the library has no names for (the device names its own pins, so there is
// always a name to find them by).
void SetLocalisedPinNames() {
  const char* lang = std::getenv("LC_ALL");
  if (!lang || !*lang) lang = std::getenv("LC_MESSAGES");
  if (!lang || !*lang) lang = std::getenv("LANG");
  const std::string l = lang ? lang : "";
  LibraryContext& ctx = Context();
  if (l.rfind("zh_CN", 0) == 0 || l.rfind("zh_SG", 0) == 0) {
    ctx.capturePinName = "\xE6\x8D\x95\xE8\x8E\xB7";  // capture
    ctx.previewPinName = "\xE9\xA2\x84\xE8\xA7\x88";  // preview
  } else {
    ctx.capturePinName = "Capture";
    ctx.previewPinName = "Preview";
  }
}

STROVA_STATUS FillNames(const std::vector<std::string>& list, char* names, int* count) {
  const size_t n = list.size() < kMaxCards ? list.size() : kMaxCards;
  if (names) {
    for (size_t i = 0; i < n; ++i) CopyField(names + kNameLen * i, kNameLen, list[i]);
  }
  if (count) *count = static_cast<int>(n);
  return list.size() >= kMaxCards ? S_OK : S_FALSE;
}

std::vector<std::string> VideoDeviceNames() {
  std::vector<std::string> out;
  for (const auto& info : strova::card::EnumerateCards()) out.push_back(info.name);
  return out;
}

}  // namespace

extern "C" {

STROVA_API STROVA_STATUS Strova_Initialize(void) {
  RouteAlsaMessages();
  if (!gst_init_check(nullptr, nullptr, nullptr)) return E_FAIL;
  LibraryState();  // the shared camera table and its state file, once per process
  LibraryContext& ctx = Context();
  for (auto& c : ctx.cards) c.Reset();
  SetLocalisedPinNames();
  ctx.cardCount = -1;
  int count = 0;
  const STROVA_STATUS st = Strova_EnumVideoCaptureDev(nullptr, &count);
  if (st < 0) {
    ctx.cardCount = 0;
    return st;
  }
  ctx.compressorQuality = 1.0;
  ctx.selectedCompressor = -1;
  ctx.compressorNames = strova::mpeg::ListVideoCompressors();
  strova::capture::StartRepairs();  // recordings cut off last time
  return S_OK;
}

STROVA_API void Strova_Uninitialize(void) {
  LibraryContext& ctx = Context();
  for (int i = 0; i < STROVA_MAX_CARDS; ++i) Strova_StopVbi(i);
  for (int i = 0; i < ctx.cardCount; ++i) Strova_DisconnectDevice(i);
  strova::capture::StopRepairs();
  ctx.compressorNames.clear();
}

STROVA_API STROVA_STATUS Strova_EnumVideoCaptureDev(char* names, int* count) {
  int n = 0;
  const STROVA_STATUS st = FillNames(VideoDeviceNames(), names, &n);
  if (count) *count = n;
  Context().cardCount = n;
  return st;
}

STROVA_API STROVA_STATUS Strova_EnumAudioCaptureDev(char* names, int* count) {
  return FillNames(strova::filters::AudioInputNames(), names, count);
}

STROVA_API STROVA_STATUS Strova_GetCardNumber(int* count) {
  if (!count) return E_INVALIDARG;
  *count = Context().cardCount;
  return Context().cardCount < 0 ? VFW_E_WRONG_STATE : S_OK;
}

STROVA_API STROVA_STATUS Strova_SetNotifyWindow(int card, STROVA_HWND window, unsigned int message) {
  CardContext* c = CardAt(card);
  if (!c) return E_INVALIDARG;
  c->notifyWindow = window;
  c->notifyMessage = message;
  if (!c->events) return E_FAIL;
  c->events->SetNotifyWindow(window, message);
  return S_OK;
}

STROVA_API void Strova_ManageNotifyMessage(int card) {
  CardContext* c = CardAt(card);
  if (!c || !c->HasGraph()) return;
  strova::graph::GraphEvent ev;
  while (strova::graph::NextEvent(*c, &ev)) {
    if (ev.code == strova::graph::kEventAbort) {
      if (ev.param1 == static_cast<uint32_t>(STROVA_E_DISK_FULL)) {
        Notify(card, NOTIFY_DISK_FULL, 0);
      } else {
        Notify(card, NOTIFY_ABORTED, ev.param1);
      }
      return;  // later events stay queued for the next call
    }
    if (ev.code == strova::graph::kEventVideoSizeChanged) Notify(card, NOTIFY_VIDEO_SIZE, ev.param1);
    if (ev.code == strova::graph::kEventPaused) Notify(card, NOTIFY_PAUSED, 0);
  }
}

}  // extern "C"
