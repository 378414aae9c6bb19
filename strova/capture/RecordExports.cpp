// Recording start and stop, and the one sound input shared by all cards.
#include <malloc.h>

#include "strova/capture/FrameCounter.h"
#include "strova/capture/RecordingBranch.h"
#include "strova/capture/RecordingProfile.h"
#include "strova/capture/RecordingRepair.h"
#include "strova/core/Context.h"
#include "strova/filters/StreamFilters.h"
#include "strova/graph/Branches.h"
#include "strova/graph/Graph.h"

using namespace strova::core;
namespace g = strova::graph;

namespace {

// How long the streams get to end before the file is closed regardless.
constexpr int kFinishTimeoutMs = 5000;

bool AudioDeviceExists(CardContext* c) { return strova::filters::AudioDeviceExists(c ? c->device.get() : nullptr); }

// The capture file is refused before anything changes: a name the recording
// cannot use, or a folder it cannot write to.
bool UsableCaptureFile(const CardContext& c) {
  const auto v = strova::capture::ReadRecordingValues();
  return strova::capture::ValidCaptureName(c.captureFile, !v.Avi()) &&
         strova::capture::CaptureFolderWritable(c.captureFile);
}

// Rebuilds the plain preview. The recording teardown took the streaming
// device out of the graph, and the graph forgets a filter that leaves it, so
// the device goes back in first for the preview build to find it.
void RebuildPreview(CardContext& c) {
  g::EnsureStreamingDevice(c);
  g::BuildPreview(c);
}

// The graph builds the recording branch through this when the branch is
// connected by pin (the card is the record's place in the context).
STROVA_STATUS BuildForGraph(CardContext& c) {
  return strova::capture::BuildRecordingBranch(static_cast<int>(&c - Context().cards.data()), c);
}
const bool g_builderRegistered = (g::SetRecordingBuilder(&BuildForGraph), true);

}  // namespace

extern "C" {

STROVA_API int Strova_StartCapture(int card) {
  CardContext* c = CardAt(card);
  if (!c || !c->captureFile[0]) return 0;
  if (c->capturing) return 1;
  if (!c->HasGraph() || !UsableCaptureFile(*c)) return 0;
  const int remembered = c->graphState;
  g::Stop(*c);
  g::TeardownPreview(*c);
  g::TeardownRecording(*c);
  if (strova::capture::BuildRecordingBranch(card, *c) >= 0) {
    g::Run(*c);
    c->capturing = 1;
    return 1;
  }
  g::TeardownRecording(*c);
  strova::capture::ForgetRecording(card);
  RebuildPreview(*c);
  g::SetState(*c, remembered);
  return 0;
}

STROVA_API int Strova_StopCapture(int card) {
  CardContext* c = CardAt(card);
  if (!c || !c->capturing) return 0;
  // The file is completed while the graph still runs, then the branch goes.
  strova::capture::FinishRecordingFile(card, *c, kFinishTimeoutMs);
  g::Stop(*c);
  g::TeardownRecording(*c);
  strova::capture::ForgetRecording(card);
  c->capturing = 0;
  // A recording cut off before its first picture (the card gone at once)
  // is no recording: the file goes, and the diagnostic says why.
  if (strova::capture::DiscardEmptyRecording(c->captureFile))
    SetDiagnostic("The recording %s held no picture and was removed", c->captureFile);
  RebuildPreview(*c);
  g::Run(*c);
  // The encoders' frames and queues were freed with the branch; hand the
  // pages back so a long session's memory does not keep each recording's peak.
  malloc_trim(0);
  return 1;
}

STROVA_API STROVA_STATUS Strova_GetRecordingCounts(int card, StrovaRecordingCounts* counts) {
  CardContext* c = CardAt(card);
  if (!c || !counts) return E_INVALIDARG;
  const auto counter = strova::capture::RecordingCounter(card);
  if (!counter) return E_FAIL;
  const strova::capture::FrameCounts n = counter->Counts();
  *counts = StrovaRecordingCounts{n.captured, n.dropped, n.repeated, n.soundGaps, n.soundGapNs / 1000000,
                                  n.spanNs / 1000000, c->capturing && !counter->Closed() ? 1 : 0, n.check};
  return S_OK;
}

STROVA_API int Strova_WhoIsCapturingAudio(int* card) {
  if (!card) return 0;
  if (!AudioDeviceExists(nullptr)) {
    *card = -2;
    return 0;
  }
  *card = -1;
  for (int i = 0; i < kMaxCards; ++i) {
    if (Context().cards[static_cast<size_t>(i)].captureAudio) {
      *card = i;
      break;
    }
  }
  return 0;
}

STROVA_API int Strova_SetCaptureAudio(int card, int* enable) {
  CardContext* c = CardAt(card);
  if (!c) return 0;
  if (c->capturing) return 1;
  if (!enable) return 0;
  if (*enable) {
    int owner = -1;
    Strova_WhoIsCapturingAudio(&owner);
    const CardContext* o = CardAt(owner);
    if (o && o->capturing) {
      *enable = 0;
      return 1;
    }
  }
  for (auto& each : Context().cards) each.captureAudio = 0;
  if (AudioDeviceExists(c)) c->captureAudio = *enable ? 1 : 0;
  *enable = c->captureAudio;
  return c->captureAudio;
}

STROVA_API void Strova_IsCaptureAudio(int card, int* enabled) {
  CardContext* c = CardAt(card);
  if (!c || !enabled) return;
  if (!AudioDeviceExists(c)) c->captureAudio = 0;
  *enabled = c->captureAudio;
}

}  // extern "C"
