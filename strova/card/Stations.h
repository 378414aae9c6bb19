// The virtual card's stations: a built-in table of European channels, or the
// user's stations file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace strova::card {

struct Station {
  int kHz = 0;             // picture carrier
  std::string name;        // shown on the programme
  int toneHz = 440;        // the station's own sound
  uint32_t colour = 0;     // 0xRRGGBB theme of the programme
};

// Built-in table (real European picture carriers).
std::vector<Station> BuiltinStations();

// Parses a stations file: one station a line, "<kHz> <name...>"; '#' starts a
// comment; bad lines are skipped. Frequencies outside the tuner's range, and
// stations closer than 3 MHz to an earlier one, are dropped.
std::vector<Station> ParseStations(const std::string& text);

// $XDG_CONFIG_HOME/quorvel/stations.txt (or ~/.config/...).
std::string StationsFilePath();

// The stations file when it exists and names at least one station, else the
// built-in table. Sorted by frequency.
std::vector<Station> LoadStations();

}  // namespace strova::card
