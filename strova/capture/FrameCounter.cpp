#include "strova/capture/FrameCounter.h"

#include <gst/gst.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>

namespace strova::capture {
namespace {

constexpr int64_t kDefaultFrameNs = 40'000'000;

std::string Clock(int64_t ns) {
  const int64_t ms = ns / 1'000'000;
  char text[32];
  std::snprintf(text, sizeof text, "%02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%03" PRId64, ms / 3'600'000,
                ms / 60'000 % 60, ms / 1000 % 60, ms % 1000);
  return text;
}

std::string LocalTime(int64_t t) {
  const std::time_t when = static_cast<std::time_t>(t);
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string EventLine(const FrameEvent& e) {
  char text[96];
  switch (e.kind) {
    case FrameEvent::Dropped:
      std::snprintf(text, sizeof text, "dropped %" PRId64 " frame%s", e.amount, e.amount == 1 ? "" : "s");
      break;
    case FrameEvent::Repeated:
      std::snprintf(text, sizeof text, "repeated %" PRId64 " frame%s", e.amount, e.amount == 1 ? "" : "s");
      break;
    case FrameEvent::SoundGap:
      std::snprintf(text, sizeof text, "sound gap %" PRId64 " ms", e.amount / 1'000'000);
      break;
  }
  return Clock(e.atNs) + " " + text + "\n";
}

}  // namespace

void FrameCounter::Note(FrameEvent::Kind kind, int64_t atNs, int64_t amount) {
  if (events_.size() < kMaxEvents) events_.push_back({kind, atNs, amount});
  else ++notKept_;
}

void FrameCounter::OnVideo(int64_t offset, int64_t ptsNs, int64_t durationNs) {
  std::lock_guard hold(mutex_);
  if (closed_) return;
  if (durationNs > 0) frameNs_ = durationNs;
  const int64_t frame = frameNs_ > 0 ? frameNs_ : kDefaultFrameNs;
  if (counts_.captured == 0) {
    firstPts_ = ptsNs;
  } else if (offset >= 0 && lastOffset_ >= 0) {
    // The card's sequence numbers say it best.
    if (offset <= lastOffset_) {
      ++counts_.repeated;
      Note(FrameEvent::Repeated, At(ptsNs), 1);
      return;
    }
    if (offset > lastOffset_ + 1) {
      counts_.dropped += offset - lastOffset_ - 1;
      Note(FrameEvent::Dropped, At(lastPts_ >= 0 ? lastPts_ + frame : ptsNs), offset - lastOffset_ - 1);
    }
  } else if (ptsNs >= 0 && lastPts_ >= 0) {
    const int64_t step = ptsNs - lastPts_;
    if (step < frame / 2) {
      ++counts_.repeated;
      Note(FrameEvent::Repeated, At(ptsNs), 1);
      return;
    }
    const int64_t missing = (step + frame / 2) / frame - 1;
    if (missing > 0) {
      counts_.dropped += missing;
      Note(FrameEvent::Dropped, At(lastPts_ + frame), missing);
    }
  }
  ++counts_.captured;
  if (offset >= 0) lastOffset_ = offset;
  if (ptsNs >= 0) {
    lastPts_ = ptsNs;
    counts_.spanNs = At(ptsNs) + frame;
  }
}

void FrameCounter::OnSound(int64_t ptsNs, int64_t durationNs) {
  if (ptsNs < 0) return;
  std::lock_guard hold(mutex_);
  if (closed_) return;
  if (soundEnd_ >= 0 && ptsNs - soundEnd_ > kSoundSlackNs) {
    ++counts_.soundGaps;
    counts_.soundGapNs += ptsNs - soundEnd_;
    Note(FrameEvent::SoundGap, At(soundEnd_), ptsNs - soundEnd_);
  }
  if (durationNs > 0) soundEnd_ = std::max(soundEnd_, ptsNs + durationNs);
  else soundEnd_ = -1;  // no length: the next block cannot be placed
}

void FrameCounter::Close() {
  std::lock_guard hold(mutex_);
  closed_ = true;
}

void FrameCounter::SetCheck(int result) {
  std::lock_guard hold(mutex_);
  counts_.check = result;
}

bool FrameCounter::Closed() const {
  std::lock_guard hold(mutex_);
  return closed_;
}

FrameCounts FrameCounter::Counts() const {
  std::lock_guard hold(mutex_);
  return counts_;
}

std::vector<FrameEvent> FrameCounter::Events() const {
  std::lock_guard hold(mutex_);
  return events_;
}

size_t FrameCounter::EventsNotKept() const {
  std::lock_guard hold(mutex_);
  return notKept_;
}

namespace {

struct Watch {
  std::weak_ptr<FrameCounter> counter;
  bool sound;
};

GstPadProbeReturn OnBuffer(GstPad*, GstPadProbeInfo* info, gpointer data) {
  const auto* watch = static_cast<Watch*>(data);
  GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
  auto counter = watch->counter.lock();
  if (!counter || counter->Closed()) return GST_PAD_PROBE_REMOVE;
  if (!buf) return GST_PAD_PROBE_OK;
  const int64_t pts = GST_BUFFER_PTS_IS_VALID(buf) ? static_cast<int64_t>(GST_BUFFER_PTS(buf)) : -1;
  const int64_t duration = GST_BUFFER_DURATION_IS_VALID(buf) ? static_cast<int64_t>(GST_BUFFER_DURATION(buf)) : 0;
  if (watch->sound) {
    counter->OnSound(pts, duration);
  } else {
    const int64_t offset = GST_BUFFER_OFFSET_IS_VALID(buf) ? static_cast<int64_t>(GST_BUFFER_OFFSET(buf)) : -1;
    counter->OnVideo(offset, pts, duration);
  }
  return GST_PAD_PROBE_OK;
}

void Probe(GstPad* pad, std::weak_ptr<FrameCounter> counter, bool sound) {
  if (!pad) return;
  gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, OnBuffer, new Watch{std::move(counter), sound},
                    [](gpointer data) { delete static_cast<Watch*>(data); });
  gst_object_unref(pad);
}

}  // namespace

void WatchStreams(GstElement* deviceBin, GstElement* soundBin, std::weak_ptr<FrameCounter> counter) {
  if (deviceBin && GST_IS_BIN(deviceBin)) {
    if (GstElement* source = gst_bin_get_by_name(GST_BIN(deviceBin), "source")) {
      Probe(gst_element_get_static_pad(source, "src"), counter, false);
      gst_object_unref(source);
    }
  }
  if (soundBin) Probe(gst_element_get_static_pad(soundBin, "Capture"), counter, true);
}

std::string FormatRecordingLog(const std::string& file, int64_t startTime, int64_t endTime,
                               const FrameCounter& counter) {
  const FrameCounts n = counter.Counts();
  char counts[256];
  std::snprintf(counts, sizeof counts,
                "frames captured: %" PRId64 "\nframes dropped: %" PRId64 "\nframes repeated: %" PRId64
                "\nsound gaps: %" PRId64 " (%" PRId64 " ms)\n",
                n.captured, n.dropped, n.repeated, n.soundGaps, n.soundGapNs / 1'000'000);
  std::string log = "Tellura recording log\nfile: " + file + "\nstart: " + LocalTime(startTime) + "\n";
  log += endTime > 0 ? "end: " + LocalTime(endTime) + "\n" : std::string("end: still recording\n");
  log += "length: " + Clock(n.spanNs) + "\n" + counts + "events:\n";
  for (const FrameEvent& e : counter.Events()) log += EventLine(e);
  if (const size_t more = counter.EventsNotKept()) log += "(" + std::to_string(more) + " more events not listed)\n";
  return log;
}

std::string RecordingLogPath(const std::string& capturePath) {
  const auto slash = capturePath.rfind('/');
  const auto dot = capturePath.rfind('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExt ? capturePath.substr(0, dot) : capturePath) + ".log";
}

}  // namespace strova::capture
