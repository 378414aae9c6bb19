// The camera selection table the camera switch reads and updates: 4 slots
// per card. The library points it at its process-shared block; until then a
// process-local table (all 0xFF, "no camera") is used.
#pragma once

#include <cstdint>

namespace strova::card {

inline constexpr int kCameraTableSize = 32 * 4;

// `table` must hold kCameraTableSize bytes; null returns to the local table.
void SetCameraTable(uint8_t* table);
// The entry for (card, slot), or null when either is out of range.
uint8_t* CameraTableEntry(int card, int slot);

}  // namespace strova::card
