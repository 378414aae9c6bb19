// Text description of a card's filter graph for diagnosis: the flat filter
// list, the chain downstream of the capture filter and the chain upstream of
// it, with every pin and the media type it is connected with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace strova::dump {

struct Guid {
  uint32_t d1 = 0;
  uint16_t d2 = 0;
  uint16_t d3 = 0;
  uint8_t d4[8] = {};
  bool operator==(const Guid&) const = default;
};

// Media type identifiers named in the dump.
namespace types {
extern const Guid kAnalogVideo, kAudio, kVideo;
extern const Guid kMpeg1Packet, kMpeg1Payload, kYvu9, kYuy2, kIjpg;
extern const Guid kRgb8, kRgb555, kRgb565, kRgb24, kRgb32, kI420, kPcm;
}  // namespace types

// "%08X-%04X-%04X-" and the last eight bytes as "%02X": 35 characters.
std::string GuidText(const Guid& g);
// "MainType:<major> , SubType:<sub>" with the known names.
std::string MediaTypeText(const Guid& major, const Guid& sub);
// Media type of GStreamer caps (structure name and its "format" field).
void MediaTypeFromCaps(const std::string& name, const std::string& format, Guid* major, Guid* sub);

class DumpFilter;

struct DumpPin {
  std::string name;
  bool output = false;
  bool connected = false;
  Guid major, sub;                      // when connected
  bool peerInfoOk = true;               // false: the peer could not be queried
  const DumpFilter* peerFilter = nullptr;
  std::string peerPin;
  bool peerOutput = false;
};

// The view of one filter the dump walks.
class DumpFilter {
 public:
  virtual ~DumpFilter() = default;
  virtual std::string Name() const = 0;
  virtual std::vector<DumpPin> Pins() const = 0;
};

// The whole dump text.  capture null: heading only.  graphFilters null: the
// card has no graph, the flat list is replaced by an upstream walk.
std::string FormatGraphDump(int card, const DumpFilter* capture,
                            const std::vector<std::string>* graphFilters);

// Writes text to path, replacing it atomically; false when it cannot.
bool WriteDumpFile(const std::string& path, const std::string& text);

}  // namespace strova::dump
