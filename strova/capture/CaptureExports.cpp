// Recording exports that keep per-card and library state: the capture file
// name, the capture frame rate (stored and reported back), and the choice
// from the video compressor list with its quality, which AVI recordings use.
#include "strova/core/Context.h"

#include <cstring>

using strova::core::CardAt;
using strova::core::Context;

extern "C" {

STROVA_API void Strova_SetCaptureFile(int card, const char* path) {
  auto* c = CardAt(card);
  if (!c) return;
  // A name longer than the field is refused (emptied) rather than cut, so a
  // recording never lands in a truncated path.
  if (!path || std::strlen(path) >= sizeof c->captureFile) {
    c->captureFile[0] = '\0';
    return;
  }
  strova::core::CopyField(c->captureFile, sizeof c->captureFile, path);
}

STROVA_API void Strova_IsCapturing(int card, int* capturing) {
  auto* c = CardAt(card);
  if (c && capturing) *capturing = c->capturing;
}

STROVA_API void Strova_SetFrameRateOnCapture(int card, int use, double rate) {
  auto* c = CardAt(card);
  if (!c) return;
  c->useFrameRate = use;
  if (use) c->frameRate = rate;
}

STROVA_API void Strova_IsUseFrameRate(int card, int* use) {
  auto* c = CardAt(card);
  if (c && use) *use = c->useFrameRate;
}

STROVA_API STROVA_STATUS Strova_EnumVideoCompressor(char* names, int* count) {
  if (!count) return E_INVALIDARG;
  const auto& list = Context().compressorNames;
  const int total = static_cast<int>(list.size());
  if (!names) {
    *count = total;
    return S_OK;
  }
  const int copy = *count < total ? (*count < 0 ? 0 : *count) : total;
  for (int i = 0; i < copy; ++i)
    strova::core::CopyField(names + static_cast<size_t>(i) * STROVA_NAME_LEN, STROVA_NAME_LEN, list[i]);
  const bool tooSmall = *count < total;
  *count = total;
  return tooSmall ? E_OUTOFMEMORY : S_OK;
}

STROVA_API STROVA_STATUS Strova_ChooseVideoCompressor(const char* name) {
  auto& ctx = Context();
  if (!name) {
    ctx.selectedCompressor = -1;
    return S_OK;
  }
  for (size_t i = 0; i < ctx.compressorNames.size(); ++i) {
    if (ctx.compressorNames[i] == name) {
      ctx.selectedCompressor = static_cast<int>(i);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

STROVA_API STROVA_STATUS Strova_GetCurrentVideoCompressor(char* name) {
  if (!name) return E_INVALIDARG;
  const auto& ctx = Context();
  const int i = ctx.selectedCompressor;
  const bool valid = i >= 0 && i < static_cast<int>(ctx.compressorNames.size());
  strova::core::CopyField(name, STROVA_NAME_LEN, valid ? ctx.compressorNames[static_cast<size_t>(i)] : "");
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_SetVideoCompressorQuality(int quality) {
  if (quality < 0 || quality > 100) return E_INVALIDARG;
  Context().compressorQuality = quality * 0.01;
  return S_OK;
}

STROVA_API STROVA_STATUS Strova_GetVideoCompressorQuality(int* quality) {
  if (!quality) return E_INVALIDARG;
  *quality = static_cast<int>(Context().compressorQuality * 100);
  return S_OK;
}

}  // extern "C"
