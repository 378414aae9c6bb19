// PNG encoding and decoding for the thumbnail cache's entries over
// libdeflate. An entry is read many times for each time it is written, so
// entries are written with the row filter that is quickest to undo; the
// decoder takes the kind of PNG nearly every program writes (8-bit RGB or
// RGBA, not interlaced, texts in tEXt chunks before the pixels) and leaves
// every other kind to a general decoder. Used by ThumbFiles.cpp only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/ThumbFiles.h"

namespace thumbs::png {

// Decodes a PNG of that kind into out (pixels, and the texts by key; the
// first of equal keys counts, Latin-1 turned into UTF-8). False, with out
// unspecified, for any other kind, a damaged chunk, or image data that does
// not fill the picture exactly.
bool DecodePlain(const uint8_t* data, size_t size, Entry& out);

// An 8-bit RGB PNG of the picture with the texts in this order: tEXt where
// the text is Latin-1, else uncompressed iTXt. False for a key PNG cannot
// hold (1 to 79 printable ASCII characters) or a text that is not UTF-8.
bool Encode(int width, int height, const uint8_t* rgb, const std::vector<std::pair<std::string, std::string>>& text,
            std::vector<uint8_t>& out);

}  // namespace thumbs::png
