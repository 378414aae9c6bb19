// The TIFF reader's inner steps, shared by the loader and its tests.
#pragma once
#include <tiffio.h>

#include "ornix/Internal.h"

namespace ornix {

// Decodes the current directory of an open TIFF into 24-bit pixels, upright;
// false (error set) when it cannot. `fileSize` bounds what the file can hold.
bool DecodeTiff(TIFF* t, uint64_t fileSize, Image& img);
// Turns pixels stored in a TIFF orientation (1..8) upright.
void ApplyOrientation(Image& img, int orientation);

}  // namespace ornix
