// The virtual card's VBI broadcast: raw VBI lines as a card samples them,
// made from each station's teletext pages (625 lines), line-21 captions
// (525 lines) and wide-screen signalling, with snow between stations and
// bit errors on a weak signal.
#pragma once

#include "strova/card/VirtualHardware.h"
#include "strova/vbi/VbiFormat.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace strova::card {

// One teletext packet as broadcast after the framing code: 42 bytes,
// Hamming 8/4 addresses and odd-parity text.
using TeletextPacket = std::array<uint8_t, 42>;

// Coding of the broadcast's packets, one function per packet kind.
struct TeletextCoder {
  // Header (row 0): page 100..899, subpage 0..79, control bits C4..C14 as
  // bit n-4 of `control`, 32 characters of text.
  static TeletextPacket Header(int page, int subpage, unsigned control, const std::string& text);
  // Rows 1..24: 40 characters (Latin G0 codes and control codes 0x00..0x1F).
  static TeletextPacket Row(int magazine, int row, const std::string& text);
  // Row 27, designation 0: the four coloured links, the index link and row
  // 24 shown.
  static TeletextPacket Links(int magazine, const std::array<int, 6>& pages);
};
inline constexpr unsigned kEraseC4 = 1u << 0, kSubtitleC6 = 1u << 2, kSerialC11 = 1u << 7;

// What a station broadcasts; the teletext content of each page.
struct StationBroadcast {
  bool teletext = true;
  bool wide = false;   // WSS 16:9 anamorphic, else 4:3
};
StationBroadcast BroadcastOf(int station);

// The packets of the station's transmission cycle at local time `now`
// (seconds since the epoch): every page, then its rows and links. cycle
// counts the cycles sent, to rotate the subpages.
std::vector<TeletextPacket> TeletextCycle(const std::string& station, double now, uint64_t cycle);
// The caption's byte pairs (odd parity) for the caption shown from `index`.
std::vector<std::array<uint8_t, 2>> CaptionBytes(const std::string& station, uint64_t index);

// The sampling formats the virtual card's VBI device reports.
vbi::VbiFormat VirtualVbiFormat(bool is525);

// Renders the VBI of one frame at a time for what the hardware shows.
class VirtualVbi {
 public:
  explicit VirtualVbi(uint32_t seed = 1);
  // Fills frame for the view at time `now` (monotonic seconds) and
  // `wallClock` (seconds since the epoch, for the header's clock).
  void Render(const VirtualView& view, const std::vector<Station>& stations, double now,
              double wallClock, vbi::VbiFrame& frame);

 private:
  void NextTeletext(const std::string& station, double wallClock, int station_, size_t n,
                    std::vector<TeletextPacket>& out);
  void Impair(std::vector<uint8_t>& samples, const vbi::VbiFormat& f, double quality);
  std::array<uint8_t, 2> NextCaptionPair(const std::string& station, double now);

  std::mt19937 rng_;
  std::deque<TeletextPacket> queue_;
  int queueStation_ = -2;
  uint64_t cycle_ = 0;
  std::deque<std::array<uint8_t, 2>> captionQueue_;
  double nextCaption_ = 0;
  uint64_t captionIndex_ = 0;
};

// The virtual card's VBI device: a frame a frame period after the last,
// rendered from the shared hardware.
std::unique_ptr<vbi::VbiSource> MakeVirtualVbiSource(std::shared_ptr<VirtualHardware> hw);

}  // namespace strova::card
