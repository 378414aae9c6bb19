#include "strova/card/CardBinding.h"

#include <array>
#include <atomic>

namespace strova::card {
namespace {

std::array<uint8_t, kCameraTableSize>& LocalTable() {
  static std::array<uint8_t, kCameraTableSize> table = [] {
    std::array<uint8_t, kCameraTableSize> t;
    t.fill(0xFF);
    return t;
  }();
  return table;
}

std::atomic<uint8_t*> g_table{nullptr};

}  // namespace

void SetCameraTable(uint8_t* table) { g_table.store(table); }

uint8_t* CameraTableEntry(int card, int slot) {
  if (card < 0 || card >= 32 || slot < 0 || slot > 3) return nullptr;
  uint8_t* table = g_table.load();
  return (table ? table : LocalTable().data()) + card * 4 + slot;
}

}  // namespace strova::card
