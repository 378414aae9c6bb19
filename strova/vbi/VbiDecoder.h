// Teletext, closed captions (CC1) and WSS from raw VBI lines, over libzvbi:
// its raw decoder slices the lines, and one libzvbi decoder per channel keeps
// that channel's page cache, so a page seen before shows at once when the
// card comes back to the channel. Thread-safe: one thread decodes while
// others read pages.
#pragma once

#include "strova/Strova.h"
#include "strova/vbi/VbiFormat.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace strova::vbi {

// How long a channel may send no teletext before it counts as having none.
inline constexpr double kTeletextWaitSeconds = 3.0;
// Channels whose caches are kept; the one used longest ago goes first.
inline constexpr size_t kCachedChannels = 16;

class VbiDecoder {
 public:
  VbiDecoder();
  ~VbiDecoder();
  VbiDecoder(const VbiDecoder&) = delete;
  VbiDecoder& operator=(const VbiDecoder&) = delete;

  // Slices one frame and feeds the decoder of the frame's channel. False,
  // and nothing decoded, for a frame that does not fit its own format or a
  // format no service can be sliced from.
  bool Decode(const VbiFrame& frame);

  // STROVA_VBI_WAITING, STROVA_VBI_TELETEXT or STROVA_VBI_NO_TELETEXT for the
  // current channel at time now (the frames' clock).
  int State(double now) const;
  // The page (100..899) of the current channel: subpage 0 the newest
  // received, else the subpage as numbered (1..79). False when not received.
  bool FetchPage(int page, int subpage, StrovaTeletextPage* out) const;
  // The subpages of a page received on the current channel, ascending.
  std::vector<int> Subpages(int page) const;
  // The newest header row's 32 characters and its clock (the last 8); false
  // before a header arrives.
  bool Header(std::string* text, std::string* clock) const;
  // The CC1 text on screen, rows joined with '\n'; "" when none.
  std::string Caption() const;
  // STROVA_WSS_UNKNOWN, STROVA_WSS_4_3 or STROVA_WSS_16_9.
  int Aspect() const;

  struct Channel;

 private:
  bool PrepareSlicer(const VbiFormat& format);
  Channel& Select(uint64_t key, double time);

  mutable std::mutex mu_;
  struct Slicer;
  std::unique_ptr<Slicer> slicer_;
  std::map<uint64_t, std::unique_ptr<Channel>> channels_;
  Channel* current_ = nullptr;
  uint64_t use_ = 0;
};

// Appends a character as UTF-8.
void AppendUtf8(std::string& out, unsigned codepoint);

}  // namespace strova::vbi
