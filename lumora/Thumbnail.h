// Thumbnails the fast way: JPEG files decoded at the largest DCT scale that
// still covers the fitted size, other files through the image object, then an
// area-averaging reduction to exactly the size the view's fit rule gives.
// A JPEG file's EXIF orientation is applied: thumbnails are upright, and so
// is their size label.
// The label numbers are those of the picture as the browser loads it whole.
// Thread-safe: every call works on its own data.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace lumora {

struct Thumb {
    bool ok = false;          // the file gave a picture
    int width = 0;            // picture size as loaded whole (the size label)
    int height = 0;
    int colours = 0;          // 0 for 16 bits and more ("16M")
    int pixW = 0, pixH = 0;   // size of rgb
    std::vector<uint8_t> rgb; // top-down R, G, B
};

// Reduces top-down RGB of sw x sh to tw x th by averaging the area each
// target pixel covers. Sizes must be positive; tw <= sw and th <= sh.
void ReduceArea(const uint8_t* src, int sw, int sh, int tw, int th, std::vector<uint8_t>& out);

// The file reduced into boxW x boxH by the fit rule.
Thumb DecodeThumbnail(const std::string& path, int boxW, int boxH);

// The largest of 1/8, 1/4, 1/2 and 1 whose scaled size of w x h still covers
// needW x needH, as the denominator (8, 4, 2 or 1).
int JpegScaleDenominator(int w, int h, int needW, int needH);

}  // namespace lumora
