// Helpers for the image object tests: BMP files written byte by byte (so the
// tests do not depend on the writer under test), expected colours, and
// ImageMagick as the independent reader.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/TestEnv.h"

namespace dibtest {

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// Palette entry i of an indexed test image: distinct, well-separated colours.
inline Rgb PaletteColour(int i) { return {(i * 97 + 13) & 255, (i * 53 + 200) & 255, (255 - i * 29) & 255}; }

// Palette index of pixel (x, y), top-left origin.
inline int IndexAt(int bits, int x, int y) { return (x * 3 + y * 5 + 1) % (1 << bits); }

// Colour of pixel (x, y) of the test image of `bits`. 16-bit colours are
// their 5-bit channels widened to 8 bits with rounding, as the codec does.
inline Rgb ColourAt(int bits, int x, int y) {
    if (bits <= 8) return PaletteColour(IndexAt(bits, x, y));
    Rgb c{(x * 40 + 16) & 255, (y * 64 + 32) & 255, ((x + y) * 24 + 8) & 255};
    if (bits == 16) {
        auto q = [](int v) { return ((v >> 3) * 255 + 15) / 31; };
        c = {q(c.r), q(c.g), q(c.b)};
    }
    return c;
}

inline void Put16(std::string& s, unsigned v) {
    s += char(v & 255);
    s += char((v >> 8) & 255);
}
inline void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// A BMP file of the test image: bottom-up rows padded to 4 bytes.
inline std::string MakeBmp(int w, int h, int bits) {
    const int colours = bits <= 8 ? 1 << bits : 0;
    const size_t stride = (size_t(w) * bits + 31) / 32 * 4;
    const uint32_t off = 54 + 4 * colours, image = uint32_t(stride * h);
    std::string s = "BM";
    Put32(s, off + image);
    Put32(s, 0);
    Put32(s, off);
    Put32(s, 40);
    Put32(s, uint32_t(w));
    Put32(s, uint32_t(h));
    Put16(s, 1);
    Put16(s, unsigned(bits));
    Put32(s, 0);
    Put32(s, image);
    Put32(s, 2835);
    Put32(s, 2835);
    Put32(s, uint32_t(colours));
    Put32(s, 0);
    for (int i = 0; i < colours; ++i) {
        Rgb c = PaletteColour(i);
        s += char(c.b), s += char(c.g), s += char(c.r), s += char(0);
    }
    for (int row = h - 1; row >= 0; --row) {
        std::string r(stride, '\0');
        for (int x = 0; x < w; ++x) {
            Rgb c = ColourAt(bits, x, row);
            if (bits < 8) {
                int shift = 8 - bits * (x % (8 / bits) + 1);
                r[size_t(x * bits / 8)] = char(uint8_t(r[size_t(x * bits / 8)]) | (IndexAt(bits, x, row) << shift));
            } else if (bits == 8) {
                r[size_t(x)] = char(IndexAt(bits, x, row));
            } else if (bits == 16) {
                unsigned v = unsigned((c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3));
                r[size_t(2 * x)] = char(v & 255), r[size_t(2 * x + 1)] = char(v >> 8);
            } else {
                size_t at = size_t(x) * (bits / 8);
                r[at] = char(c.b), r[at + 1] = char(c.g), r[at + 2] = char(c.r);
            }
        }
        s += r;
    }
    return s;
}

// A JPEG file's bytes with an EXIF block carrying `orientation` put right
// after the start marker, as a camera writes it.
inline std::string WithExifOrientation(const std::string& jpeg, int orientation) {
    std::string tiff = "II*";
    tiff += char(0);
    Put32(tiff, 8);            // first directory
    Put16(tiff, 1);            // one entry
    Put16(tiff, 0x0112);       // Orientation
    Put16(tiff, 3);            // SHORT
    Put32(tiff, 1);
    Put16(tiff, unsigned(orientation));
    Put16(tiff, 0);
    Put32(tiff, 0);            // no next directory
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    std::string app1 = "\xFF\xE1";
    app1 += char((body.size() + 2) >> 8), app1 += char((body.size() + 2) & 255);
    return jpeg.substr(0, 2) + app1 + body + jpeg.substr(2);
}

// A w x h JPEG of four flat quadrants (top left red, top right green, bottom
// left blue, bottom right white) stored with the orientation, written by
// ImageMagick; empty on failure.
inline std::string QuadrantJpeg(const std::string& path, int w, int h, int orientation) {
    const std::string plain = path + ".plain.jpg";
    const std::string hw = std::to_string(w / 2 - 1), hh = std::to_string(h / 2 - 1);
    const std::string cmd = "mkdir -p '" + path.substr(0, path.rfind('/') + 1) + "' && convert -size " + std::to_string(w) + "x" + std::to_string(h) +
                            " xc:white -fill red -draw 'rectangle 0,0 " + hw + "," + hh + "' -fill lime -draw 'rectangle " +
                            std::to_string(w / 2) + ",0 " + std::to_string(w) + "," + hh + "' -fill blue -draw 'rectangle 0," +
                            std::to_string(h / 2) + " " + hw + "," + std::to_string(h) + "' -quality 95 '" + plain + "'";
    if (std::system((cmd + " >/dev/null 2>&1").c_str()) != 0) return {};
    const std::string data = WithExifOrientation(tellura::test::ReadFile(plain), orientation);
    std::remove(plain.c_str());
    return tellura::test::WriteFile(path, data) ? path : std::string();
}

// Which quadrant colour a pixel is nearest to: 'R', 'G', 'B', 'W', or '?'.
inline char QuadrantColour(Rgb c) {
    auto near = [&](int r, int g, int b) { return std::abs(c.r - r) + std::abs(c.g - g) + std::abs(c.b - b) < 90; };
    return near(255, 0, 0) ? 'R' : near(0, 255, 0) ? 'G' : near(0, 0, 255) ? 'B' : near(255, 255, 255) ? 'W' : '?';
}

inline bool Shell(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0; }

// The file's pixels as ImageMagick reads them (top-left first, R,G,B); empty on failure.
inline std::vector<Rgb> PeerPixels(const std::string& file, const std::string& scratch) {
    std::vector<Rgb> out;
    if (!Shell("convert '" + file + "' -depth 8 rgb:'" + scratch + "'")) return out;
    const std::string raw = tellura::test::ReadFile(scratch);
    for (size_t i = 0; i + 2 < raw.size(); i += 3)
        out.push_back({uint8_t(raw[i]), uint8_t(raw[i + 1]), uint8_t(raw[i + 2])});
    return out;
}

}  // namespace dibtest
