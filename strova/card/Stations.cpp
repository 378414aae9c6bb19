#include "strova/card/Stations.h"

#include "strova/card/Tuner.h"

#include "platform/Paths.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace strova::card {
namespace {

constexpr int kMinSpacingKHz = 3000;

uint32_t ThemeColour(size_t i) {
  static const uint32_t kThemes[] = {0x2050C0, 0xC03020, 0x20A040, 0xC0A020,
                                     0x8030B0, 0x20A0B0, 0xD06010, 0x606060};
  return kThemes[i % (sizeof kThemes / sizeof kThemes[0])];
}

void Finish(std::vector<Station>& stations) {
  std::stable_sort(stations.begin(), stations.end(),
                   [](const Station& a, const Station& b) { return a.kHz < b.kHz; });
  std::vector<Station> kept;
  for (auto& s : stations) {
    if (!kept.empty() && s.kHz - kept.back().kHz < kMinSpacingKHz) continue;
    kept.push_back(s);
  }
  for (size_t i = 0; i < kept.size(); ++i) {
    kept[i].toneHz = 330 + static_cast<int>(i % 8) * 55;
    kept[i].colour = ThemeColour(i);
  }
  stations.swap(kept);
}

}  // namespace

std::vector<Station> BuiltinStations() {
  std::vector<Station> s = {
      {55250, "ALPENTV", 0, 0},     // E3
      {189250, "NORDKANAL", 0, 0},  // E7
      {210250, "RADIANT 1", 0, 0},  // E10
      {487250, "TELE ZENIT", 0, 0}, // E23
      {583250, "SPORT24", 0, 0},    // E35
      {743250, "KINOWELLE", 0, 0},  // E55
  };
  Finish(s);
  return s;
}

std::vector<Station> ParseStations(const std::string& text) {
  std::vector<Station> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream fields(line);
    long long kHz = 0;
    if (!(fields >> kHz)) continue;
    if (kHz < kTunerMinKHz || kHz > kTunerMaxKHz) continue;
    std::string name, word;
    while (fields >> word) name += (name.empty() ? "" : " ") + word;
    if (name.empty()) name = std::to_string(kHz / 1000) + " MHZ";
    if (name.size() > 24) name.resize(24);
    out.push_back({static_cast<int>(kHz), name, 0, 0});
  }
  Finish(out);
  return out;
}

std::string StationsFilePath() { return plat::ConfigDir() + "stations.txt"; }

std::vector<Station> LoadStations() {
  std::ifstream f(StationsFilePath());
  if (f) {
    std::stringstream ss;
    ss << f.rdbuf();
    auto parsed = ParseStations(ss.str());
    if (!parsed.empty()) return parsed;
  }
  return BuiltinStations();
}

}  // namespace strova::card
