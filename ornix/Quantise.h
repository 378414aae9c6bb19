// Colour reduction used by the GIF writer and the exported reducers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ornix {

// Median cut over a 32768-cell histogram (cell = r5<<10 | g5<<5 | b5);
// palette entries 0x00RRGGBB. Returns the number of entries made.
int MedianCutPalette(const uint32_t* hist, int colours, std::vector<uint32_t>& palette);
// Index of the palette entry closest to r,g,b (weighted distance).
int NearestEntry(const std::vector<uint32_t>& palette, int r, int g, int b);
// Exact palette when the pixels use at most 256 colours; false otherwise.
bool ExactPalette(const uint8_t* bgr, size_t count, std::vector<uint32_t>& palette, std::vector<uint8_t>& indices);
// Palette of at most 256 entries and one index per BGR pixel.
void Quantise(const uint8_t* bgr, size_t count, std::vector<uint32_t>& palette, std::vector<uint8_t>& indices);

}  // namespace ornix
