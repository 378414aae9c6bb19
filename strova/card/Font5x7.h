// A small 5x7 bitmap font for the virtual card's on-picture captions.
#pragma once

#include <cstdint>

namespace strova::card {

// Seven rows of five bits (bit 4 = leftmost) for the character, or null
// when the font has no glyph for it (drawn as a blank).
const uint8_t* GlyphRows(char c);

}  // namespace strova::card
