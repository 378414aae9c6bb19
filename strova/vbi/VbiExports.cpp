// The VBI exports: one decoding service per card slot.
#include "strova/Strova.h"
#include "strova/card/Card.h"
#include "strova/core/Context.h"
#include "strova/vbi/VbiService.h"

#include <array>
#include <mutex>

using strova::core::CardAt;
using strova::core::CopyField;
using strova::vbi::VbiService;

namespace {

std::mutex& Lock() {
  static std::mutex mu;
  return mu;
}
std::array<std::unique_ptr<VbiService>, STROVA_MAX_CARDS>& Services() {
  static std::array<std::unique_ptr<VbiService>, STROVA_MAX_CARDS> s;
  return s;
}

// The card's running service (the lock held), else a failure for the export.
STROVA_STATUS Running(int32_t card, VbiService** service) {
  if (CardAt(card) == nullptr) return E_INVALIDARG;
  *service = Services()[size_t(card)].get();
  return *service ? S_OK : E_FAIL;
}

bool ValidPage(int32_t page) { return page >= 100 && page <= 899; }

// Copies UTF-8 text into size bytes, cut before a character that does not fit.
void CopyText(char* dst, int32_t size, std::string text) {
  if (text.size() >= size_t(size)) {
    size_t n = size_t(size) - 1;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    text.resize(n);
  }
  CopyField(dst, size_t(size), text);
}

}  // namespace

STROVA_API STROVA_STATUS Strova_StartVbi(int32_t card) {
  strova::core::CardContext* c = CardAt(card);
  if (c == nullptr) return E_INVALIDARG;
  std::lock_guard lock(Lock());
  auto& slot = Services()[size_t(card)];
  if (slot) return S_FALSE;
  if (!c->device) return E_FAIL;
  auto source = c->device->OpenVbi();
  if (!source) return E_FAIL;
  slot = std::make_unique<VbiService>(std::move(source));
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_StopVbi(int32_t card) {
  if (card < 0 || card >= STROVA_MAX_CARDS) return E_INVALIDARG;
  std::unique_ptr<VbiService> gone;
  {
    std::lock_guard lock(Lock());
    gone = std::move(Services()[size_t(card)]);
  }
  return gone ? S_OK : S_FALSE;  // joined here, outside the lock
}

STROVA_API STROVA_STATUS Strova_GetVbiState(int32_t card, int32_t* state) {
  if (state == nullptr) return E_INVALIDARG;
  std::lock_guard lock(Lock());
  VbiService* s = nullptr;
  const STROVA_STATUS st = Running(card, &s);
  if (st == E_INVALIDARG) return st;
  *state = s ? s->State() : STROVA_VBI_OFF;
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_GetTeletextPage(int32_t card, int32_t page, int32_t subpage,
                                                StrovaTeletextPage* out) {
  if (out == nullptr || !ValidPage(page) || subpage < 0 || subpage > 79) return E_INVALIDARG;
  std::lock_guard lock(Lock());
  VbiService* s = nullptr;
  if (const STROVA_STATUS st = Running(card, &s); st != S_OK) return st;
  return s->Decoder().FetchPage(page, subpage, out) ? S_OK : S_FALSE;
}

STROVA_API int32_t Strova_GetTeletextSubpages(int32_t card, int32_t page, int32_t* subpages,
                                              int32_t max) {
  if (!ValidPage(page) || max < 0 || (max > 0 && subpages == nullptr)) return E_INVALIDARG;
  std::lock_guard lock(Lock());
  VbiService* s = nullptr;
  if (const STROVA_STATUS st = Running(card, &s); st != S_OK) return st;
  const std::vector<int> list = s->Decoder().Subpages(page);
  for (size_t i = 0; i < list.size() && i < size_t(max); ++i) subpages[i] = list[i];
  return int32_t(list.size());
}

STROVA_API STROVA_STATUS Strova_GetTeletextHeader(int32_t card, char* text, int32_t textSize,
                                                  char* clock, int32_t clockSize) {
  if ((text && textSize < 1) || (clock && clockSize < 1)) return E_INVALIDARG;
  std::lock_guard lock(Lock());
  VbiService* s = nullptr;
  if (const STROVA_STATUS st = Running(card, &s); st != S_OK) return st;
  std::string row, time;
  if (!s->Decoder().Header(&row, &time)) return S_FALSE;
  if (text) CopyText(text, textSize, row);
  if (clock) CopyText(clock, clockSize, time);
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_GetCaption(int32_t card, char* text, int32_t size) {
  if (text == nullptr || size < 1) return E_INVALIDARG;
  std::lock_guard lock(Lock());
  VbiService* s = nullptr;
  if (const STROVA_STATUS st = Running(card, &s); st != S_OK) return st;
  CopyText(text, size, s->Decoder().Caption());
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_GetWssAspect(int32_t card, int32_t* aspect) {
  if (aspect == nullptr) return E_INVALIDARG;
  std::lock_guard lock(Lock());
  VbiService* s = nullptr;
  if (const STROVA_STATUS st = Running(card, &s); st != S_OK) return st;
  *aspect = s->Decoder().Aspect();
  return S_OK;
}
