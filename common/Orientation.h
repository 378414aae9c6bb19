// The EXIF orientation of JPEG files (tag 0x0112 of the first image
// directory in the APP1 "Exif" block) and the turn that shows such a picture
// upright. Cameras and phones store the sensor's rows as they came and record
// how the camera was held; the codec library's JPEG reader gives the stored
// rows, so the image object and the browser's thumbnailer turn them here.
//
// The reader trusts nothing in the block: every offset and count is checked
// against the bytes present, and only the first directory is read (no chain
// to follow, so no loop). Anything it cannot trust gives 1 (as stored).
// No toolkit code; thread-safe.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace orient {

// 1 (as stored) .. 8, as the EXIF standard numbers them: 2 mirrored, 3 turned
// half round, 4 flipped, 5 transposed, 6 turned a quarter clockwise to show,
// 7 transversed, 8 turned a quarter anticlockwise to show.
int JpegOrientation(const uint8_t* data, size_t size);
// The same for the start of a file; 1 when it cannot be read.
int JpegFileOrientation(const std::string& path);

// True for 5..8: the upright picture is height x width.
inline bool SwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

// Writes the w x h picture at src upright into dst. Strides are the signed
// byte steps from one row to the row below (negative for bottom-up rows,
// with src and dst pointing at the top row); dst holds h x w pixels when the
// orientation swaps the axes. bytesPerPixel is 1 to 4.
void OrientPixels(const uint8_t* src, int w, int h, int bytesPerPixel, ptrdiff_t srcStride, uint8_t* dst,
                  ptrdiff_t dstStride, int orientation);

}  // namespace orient
