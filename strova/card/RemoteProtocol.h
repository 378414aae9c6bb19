// The virtual card's IR receiver socket: one datagram per key code, written
// as text ("18", "0xFF"). Shared by the card and the tellura-remote command.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace strova::card {

inline constexpr uint16_t kRepeatCode = 0xFF;
inline constexpr size_t kRemoteMessageMax = 32;

inline std::string RemoteSocketDir() {
  const char* rt = std::getenv("XDG_RUNTIME_DIR");
  std::string base = (rt && *rt) ? rt : "/tmp";
  return base + "/quorvel";
}
inline std::string RemoteSocketPath() { return RemoteSocketDir() + "/remote"; }

// A key code 0..0x1FE (0x1FF means "no key" and is never sent), or nothing
// when the datagram is not a code.
inline std::optional<uint16_t> ParseRemoteMessage(std::string_view msg) {
  while (!msg.empty() && (msg.back() == '\n' || msg.back() == '\r' || msg.back() == ' '))
    msg.remove_suffix(1);
  if (msg.empty() || msg.size() > 8) return std::nullopt;
  int base = 10;
  if (msg.size() > 2 && msg[0] == '0' && (msg[1] == 'x' || msg[1] == 'X')) {
    base = 16;
    msg.remove_prefix(2);
  }
  unsigned value = 0;
  for (char c : msg) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return std::nullopt;
    value = value * base + d;
    if (value >= 0x1FF) return std::nullopt;
  }
  return static_cast<uint16_t>(value);
}

struct RemoteKeyName {
  const char* name;
  uint16_t code;
};

// Names of the remote's keys and the codes its receiver reports.
inline constexpr RemoteKeyName kRemoteKeys[] = {
    {"0", 18},       {"1", 144},         {"2", 184},       {"3", 248},
    {"4", 152},      {"5", 216},         {"6", 136},       {"7", 232},
    {"8", 72},       {"9", 104},         {"dash", 32},     {"prev", 0},
    {"next", 50},    {"recall", 2},      {"power", 8},     {"record", 42},
    {"panel", 48},   {"fullscreen", 56}, {"source", 64},   {"reset-colour", 80},
    {"colour-up", 88}, {"colour-down", 112}, {"colour-select", 120},
    {"mute", 96},    {"snapshot", 160},  {"vol-down", 168}, {"vol-up", 176},
    {"pause", 178},
};

inline std::optional<uint16_t> RemoteKeyCode(std::string_view name) {
  for (const auto& k : kRemoteKeys)
    if (name == k.name) return k.code;
  return ParseRemoteMessage(name);
}

}  // namespace strova::card
