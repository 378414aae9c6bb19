// The keymap of a real card's remote: rc-core scancodes (EV_MSC/MSC_SCAN) to
// the remote key codes the viewer understands. A text file the user can
// edit, "<scancode> <key>" per line; written with the common remotes'
// codes the first time it is needed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace strova::card {

class RemoteKeymap {
 public:
  // Reads keymap text. A line is a scancode (decimal or 0x hex) and a key:
  // a key name ("1", "vol-up", ...) or a code 0..0x1FE. '#' starts a
  // comment; a line that is neither is skipped and counted in *skipped.
  static RemoteKeymap Parse(const std::string& text, int* skipped = nullptr);
  // The user's keymap file; it is created with the default text when missing.
  static std::string UserPath();
  static RemoteKeymap LoadUser();
  // The default text: Hauppauge-style RC5 remotes, the most common on
  // analogue TV cards, for each of their system codes.
  static std::string DefaultText();

  std::optional<uint16_t> Find(uint32_t scancode) const;
  size_t Size() const { return keys_.size(); }

 private:
  std::unordered_map<uint32_t, uint16_t> keys_;
};

}  // namespace strova::card
