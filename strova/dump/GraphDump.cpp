#include "strova/dump/GraphDump.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace strova::dump {
namespace types {
// Media subtypes built from a four-character code share this tail.
#define FOURCC_GUID(code) Guid{code, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}}
#define RGB_GUID(d1) Guid{d1, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}}
const Guid kAnalogVideo{0x0482DDE1, 0x7817, 0x11CF, {0x8A, 0x03, 0x00, 0xAA, 0x00, 0x6E, 0xCB, 0x65}};
const Guid kAudio = FOURCC_GUID(0x73647561);
const Guid kVideo = FOURCC_GUID(0x73646976);
const Guid kMpeg1Packet = RGB_GUID(0xE436EB80);
const Guid kMpeg1Payload = RGB_GUID(0xE436EB81);
const Guid kYvu9 = FOURCC_GUID(0x39555659);
const Guid kYuy2 = FOURCC_GUID(0x32595559);
const Guid kIjpg = FOURCC_GUID(0x47504A49);
const Guid kRgb8 = RGB_GUID(0xE436EB7A);
const Guid kRgb565 = RGB_GUID(0xE436EB7B);
const Guid kRgb555 = RGB_GUID(0xE436EB7C);
const Guid kRgb24 = RGB_GUID(0xE436EB7D);
const Guid kRgb32 = RGB_GUID(0xE436EB7E);
const Guid kI420 = FOURCC_GUID(0x30323449);
const Guid kPcm = FOURCC_GUID(0x00000001);
#undef FOURCC_GUID
#undef RGB_GUID
}  // namespace types

namespace {

constexpr size_t kMaxName = 100;
constexpr int kMaxLevel = 64;  // a looped graph must not recurse forever

struct Named {
  const Guid* id;
  const char* text;
};

std::string Clip(const std::string& s) { return s.size() > kMaxName ? s.substr(0, kMaxName) : s; }

std::string MajorText(const Guid& g) {
  if (g == types::kAnalogVideo) return "Analog Video";
  if (g == types::kAudio) return "Audio";
  if (g == types::kVideo) return "Video";
  return GuidText(g);
}

std::string SubText(const Guid& g) {
  static const Named kNames[] = {
      {&types::kMpeg1Packet, "MPEG1 Packet"}, {&types::kMpeg1Payload, "MPEG1 Payload"},
      {&types::kYvu9, "YVU9"},   {&types::kYuy2, "YUY2"},   {&types::kIjpg, "IJPG"},
      {&types::kRgb8, "RGB8"},   {&types::kRgb555, "RGB555"}, {&types::kRgb565, "RGB565"},
      {&types::kRgb24, "RGB24"}, {&types::kRgb32, "RGB32"}};
  for (const auto& n : kNames)
    if (*n.id == g) return n.text;
  return GuidText(g);
}

// Section walk: mode 1 follows pins leading downstream, mode 2 upstream.
void Walk(std::string& out, const DumpFilter& filter, int level, int mode) {
  const std::string indent(static_cast<size_t>(level) * 4, ' ');
  const std::string name = Clip(filter.Name());
  out += indent + "Filter: '" + name + "'\n" + indent + "{\n";
  for (const DumpPin& pin : filter.Pins()) {
    const std::string type = pin.connected ? MediaTypeText(pin.major, pin.sub) : "";
    out += indent + "    Pin: '" + Clip(pin.name) + "' (Dir:" + (pin.output ? "Out" : "In") + " , " + type + ")\n";
    if (!pin.connected) continue;
    if (!pin.peerInfoOk || !pin.peerFilter) break;
    const bool follow = mode == 1 ? !pin.peerOutput : pin.peerOutput;
    if (!follow) continue;
    out += indent + "        " + (mode == 1 ? "---->" : "<----") + "Filter: '" + Clip(pin.peerFilter->Name()) +
           "' , Pin: '" + Clip(pin.peerPin) + "'\n";
    if (level + 2 <= kMaxLevel) Walk(out, *pin.peerFilter, level + 2, mode);
  }
  out += indent + "}\n";
}

}  // namespace

std::string GuidText(const Guid& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%02X%02X%02X%02X%02X%02X%02X%02X", g.d1, g.d2, g.d3, g.d4[0],
                g.d4[1], g.d4[2], g.d4[3], g.d4[4], g.d4[5], g.d4[6], g.d4[7]);
  return buf;
}

std::string MediaTypeText(const Guid& major, const Guid& sub) {
  return "MainType:" + MajorText(major) + " , SubType:" + SubText(sub);
}

void MediaTypeFromCaps(const std::string& name, const std::string& format, Guid* major, Guid* sub) {
  static const struct {
    const char* format;
    const Guid* sub;
  } kVideoFormats[] = {{"RGB", &types::kRgb24},   {"BGR", &types::kRgb24},   {"BGRx", &types::kRgb32},
                       {"BGRA", &types::kRgb32},  {"xRGB", &types::kRgb32},  {"RGB16", &types::kRgb565},
                       {"RGB15", &types::kRgb555}, {"GRAY8", &types::kRgb8}, {"YUY2", &types::kYuy2},
                       {"YVU9", &types::kYvu9},   {"I420", &types::kI420}};
  *major = Guid{};
  *sub = Guid{};
  if (name == "audio/x-raw") {
    *major = types::kAudio;
    *sub = types::kPcm;
  } else if (name == "video/x-raw") {
    *major = types::kVideo;
    for (const auto& f : kVideoFormats)
      if (format == f.format) *sub = *f.sub;
  } else if (name == "image/jpeg") {
    *major = types::kVideo;
    *sub = types::kIjpg;
  } else if (name == "video/mpeg") {
    *major = types::kVideo;
    *sub = types::kMpeg1Payload;
  } else if (name == "video/mpeg-sys") {
    *major = types::kVideo;
    *sub = types::kMpeg1Packet;
  } else if (name == "video/x-analog") {
    *major = types::kAnalogVideo;
  }
}

std::string FormatGraphDump(int card, const DumpFilter* capture, const std::vector<std::string>* graphFilters) {
  std::string out = "/**** The " + std::to_string(card) + "th Way Card ****/\n";
  if (!capture) return out;
  if (graphFilters) {
    out += std::string(46, '=') + "\n";
    for (const auto& name : *graphFilters) out += "Filter: '" + Clip(name) + "'\n";
    out += std::string(45, '=') + "\n";
  } else {
    Walk(out, *capture, 0, 2);
  }
  Walk(out, *capture, 0, 1);
  Walk(out, *capture, 0, 2);
  return out;
}

bool WriteDumpFile(const std::string& path, const std::string& text) {
  if (path.empty()) return false;
  const std::string temp = path + ".part";
  FILE* f = std::fopen(temp.c_str(), "w");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fflush(f) == 0 &&
            ::fsync(fileno(f)) == 0;
  ok = std::fclose(f) == 0 && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace strova::dump
