#include "strova/card/RemoteKeymap.h"

#include "platform/Paths.h"
#include "strova/card/RemoteProtocol.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace strova::card {
namespace {

// RC5 commands of the common remotes and the keys they stand for.
constexpr struct {
  uint8_t command;
  const char* key;
} kRc5Keys[] = {
    {0x00, "0"},      {0x01, "1"},        {0x02, "2"},       {0x03, "3"},         {0x04, "4"},
    {0x05, "5"},      {0x06, "6"},        {0x07, "7"},       {0x08, "8"},         {0x09, "9"},
    {0x0a, "dash"},   {0x0f, "mute"},     {0x10, "vol-up"},  {0x11, "vol-down"},  {0x12, "recall"},
    {0x1e, "next"},   {0x1f, "prev"},     {0x20, "next"},    {0x21, "prev"},      {0x22, "source"},
    {0x2e, "fullscreen"}, {0x30, "pause"}, {0x37, "record"}, {0x3c, "snapshot"},  {0x3d, "power"},
};

std::optional<uint32_t> Number(const std::string& word) {
  if (word.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(word.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull || word[0] == '-') return std::nullopt;
  return static_cast<uint32_t>(v);
}

}  // namespace

RemoteKeymap RemoteKeymap::Parse(const std::string& text, int* skipped) {
  RemoteKeymap map;
  int bad = 0;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const auto hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string scan, key, extra;
    if (!(words >> scan)) continue;  // blank or comment only
    const auto code = Number(scan);
    const auto value = (words >> key) ? RemoteKeyCode(key) : std::nullopt;
    if (!code || !value || (words >> extra)) {
      ++bad;
      continue;
    }
    map.keys_[*code] = *value;
  }
  if (skipped) *skipped = bad;
  return map;
}

std::string RemoteKeymap::DefaultText() {
  std::string text =
      "# Remote keymap: <scancode> <key>, one per line. The scancode is what the\n"
      "# card's receiver reports (ir-keytable -t shows it); the key is one of:\n"
      "#";
  for (const auto& k : kRemoteKeys) text += std::string(" ") + k.name;
  text += "\n";
  char line[64];
  for (unsigned system : {0x1eu, 0x1fu, 0x1du}) {
    std::snprintf(line, sizeof line, "# RC5 remotes, system 0x%02x\n", system);
    text += line;
    for (const auto& k : kRc5Keys) {
      std::snprintf(line, sizeof line, "0x%02x%02x %s\n", system, unsigned(k.command), k.key);
      text += line;
    }
  }
  return text;
}

std::string RemoteKeymap::UserPath() { return plat::ConfigDir() + "remote-keymap.txt"; }

RemoteKeymap RemoteKeymap::LoadUser() {
  const std::string path = UserPath();
  std::ifstream in(path);
  if (!in) {
    const std::string text = DefaultText();
    plat::AtomicWriteFile(path, text);
    return Parse(text);
  }
  std::stringstream all;
  all << in.rdbuf();
  return Parse(all.str());
}

std::optional<uint16_t> RemoteKeymap::Find(uint32_t scancode) const {
  const auto it = keys_.find(scancode);
  if (it == keys_.end()) return std::nullopt;
  return it->second;
}

}  // namespace strova::card
