// Still-frame exports: the newest frame of the card's still grabber as a BMP
// file (the JPEG name writes the same BMP; the viewer re-encodes it).
#include "strova/capture/RecordingProfile.h"
#include "strova/core/Context.h"
#include "strova/dump/GstGraphView.h"
#include "strova/still/StillCapture.h"
#include "strova/still/StillFile.h"

#include <gst/gst.h>

namespace {

using strova::still::StillCapture;

constexpr STROVA_STATUS kNoInterface = static_cast<STROVA_STATUS>(0x80004002u);

// The graph's still grabber bin (null when absent); *bin receives a reference.
StillCapture* FindGrabber(strova::core::CardContext* c, GstElement** bin) {
  *bin = c->pipeline && GST_IS_BIN(c->pipeline) ? gst_bin_get_by_name(GST_BIN(c->pipeline), "Vantrel Still Capture")
                                                : nullptr;
  return *bin ? StillCapture::From(*bin) : nullptr;
}

// Fetches the DIB and writes the file; the status of the copy, or 0 when
// there is no frame.
STROVA_STATUS GrabTo(StillCapture& g, const char* path) {
  const int32_t size = g.DibSize();
  if (size <= 0) return 0;
  std::vector<uint8_t> dib(static_cast<size_t>(size), 0);
  const bool copied = g.CopyDib(dib.data(), dib.size());
  if (copied) strova::still::WriteBmpFile(path, dib);
  return copied ? S_OK : E_FAIL;
}

int SaveStill(int card, const char* path) {
  auto* c = strova::core::CardAt(card);
  if (!c) return E_INVALIDARG;
  if (!path) return 0;
  GstElement* bin = nullptr;
  StillCapture* g = FindGrabber(c, &bin);
  if (g) {
    const auto values = strova::capture::ReadRecordingValues();
    g->SetParam(0x605, values.halfPic && !c->captureBuilt ? 1 : 0);
    GrabTo(*g, path);
  }
  if (bin) gst_object_unref(bin);
  return 1;
}

}  // namespace

extern "C" {

STROVA_API int Strova_SaveToBmpFile(int card, const char* path) { return SaveStill(card, path); }

STROVA_API int Strova_SaveToJpgFile(int card, const char* path) { return SaveStill(card, path); }

STROVA_API STROVA_STATUS Strova_GetCurrentDib(int card, long unused1, long unused2) {
  (void)unused1;
  (void)unused2;
  auto* c = strova::core::CardAt(card);
  if (!c) return E_INVALIDARG;
  GstElement* bin = nullptr;
  StillCapture* g = FindGrabber(c, &bin);
  STROVA_STATUS status = !bin ? 0 : !g ? kNoInterface : GrabTo(*g, strova::dump::DiagnosticPath("123.bmp").c_str());
  if (bin) gst_object_unref(bin);
  return status;
}

}  // extern "C"
