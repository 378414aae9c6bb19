// Counts what a recording lost: frames the card dropped (gaps in its
// sequence numbers, or in the frame times where it gives none), frames it
// delivered twice (a sequence number or time that does not advance) and
// breaks in the sound's time stamps; keeps each event's time for the
// recording's log. Thread-safe: the streaming threads report, any thread
// reads.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct _GstElement GstElement;

namespace strova::capture {

struct FrameCounts {
  int64_t captured = 0;  // frames the card delivered
  int64_t dropped = 0;
  int64_t repeated = 0;
  int64_t soundGaps = 0;
  int64_t soundGapNs = 0;  // the gaps' total length
  int64_t spanNs = 0;      // first frame to the end of the last one
  int check = 0;           // lossless: 1 the decoded file equals its checksums, -1 not, 0 not (yet) checked
};

struct FrameEvent {
  enum Kind { Dropped, Repeated, SoundGap } kind;
  int64_t atNs;    // recording time: from the first frame's time
  int64_t amount;  // frames, or the gap's length in ns
};

class FrameCounter {
 public:
  // Events kept for the log; beyond this only counted.
  static constexpr size_t kMaxEvents = 10000;
  // A sound break shorter than this is jitter, not a gap.
  static constexpr int64_t kSoundSlackNs = 10'000'000;

  // offset: the card's sequence number, or < 0 when it gives none;
  // ptsNs < 0: no time. durationNs: the frame's length (0 unknown).
  void OnVideo(int64_t offset, int64_t ptsNs, int64_t durationNs);
  void OnSound(int64_t ptsNs, int64_t durationNs);

  // Ends the counting: later reports are ignored and the watches go.
  void Close();
  bool Closed() const;
  void SetCheck(int result);

  FrameCounts Counts() const;
  std::vector<FrameEvent> Events() const;
  size_t EventsNotKept() const;

 private:
  void Note(FrameEvent::Kind kind, int64_t atNs, int64_t amount);
  int64_t At(int64_t ptsNs) const { return ptsNs >= 0 && firstPts_ >= 0 ? ptsNs - firstPts_ : 0; }

  mutable std::mutex mutex_;
  FrameCounts counts_;
  std::vector<FrameEvent> events_;
  size_t notKept_ = 0;
  bool closed_ = false;
  int64_t firstPts_ = -1;
  int64_t lastOffset_ = -1;
  int64_t lastPts_ = -1;
  int64_t frameNs_ = 0;
  int64_t soundEnd_ = -1;  // where the next sound block is due
};

// Reports every buffer of the card's source (inside the streaming device
// bin) and of the sound input's capture pad to the counter, until the
// elements go. Either may be null.
void WatchStreams(GstElement* deviceBin, GstElement* soundBin, std::weak_ptr<FrameCounter> counter);

// The recording's log: start and end (local time), the counts and each
// event's recording time, as text.
std::string FormatRecordingLog(const std::string& file, int64_t startTime, int64_t endTime,
                               const FrameCounter& counter);

// The log's path beside the recording: the capture path without its
// extension, plus ".log".
std::string RecordingLogPath(const std::string& capturePath);

}  // namespace strova::capture
