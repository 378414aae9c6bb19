// Raw VBI as a card delivers it (the V4L2 raw VBI format): 8-bit samples,
// one line after another, the first field's lines before the second's (or
// interleaved when interlaced).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace strova::vbi {

struct VbiFormat {
  int scanning = 625;            // 625 or 525 lines
  int samplingRate = 0;          // Hz
  int offset = 0;                // samples from the line's 0H to the first sample
  int samplesPerLine = 0;
  int start[2] = {0, 0};         // first line of each field, ITU-R numbering
  int count[2] = {0, 0};         // lines captured in each field
  bool interlaced = false;
  bool synchronous = true;

  int Lines() const { return count[0] + count[1]; }
  size_t FrameBytes() const { return size_t(Lines()) * size_t(samplesPerLine > 0 ? samplesPerLine : 0); }
  // True for values a raw decoder can work with (rates, counts and lines in range).
  bool Valid() const;
  bool operator==(const VbiFormat&) const = default;
};

// One frame of raw VBI lines from a card.
struct VbiFrame {
  VbiFormat format;
  std::vector<uint8_t> samples;
  double time = 0;        // seconds, monotonic
  uint64_t channel = 0;   // what the card is tuned to: pages are cached per channel
};

// Where raw VBI frames come from: a card's VBI device, or the virtual card.
class VbiSource {
 public:
  virtual ~VbiSource() = default;
  // Waits up to timeoutMs for the next frame; false on timeout or error
  // (then Failed() tells whether the source is gone for good).
  virtual bool Read(VbiFrame& frame, int timeoutMs) = 0;
  virtual bool Failed() const { return false; }
};

}  // namespace strova::vbi
