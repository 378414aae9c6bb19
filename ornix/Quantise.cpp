// Colour reduction to at most 256 colours: median cut over a 32x32x32
// histogram, the popularity method, and mapping pixels to the nearest entry.
#include <algorithm>
#include <cstring>

#include "ornix/Quantise.h"

namespace ornix {
namespace {

struct Box {
    int lo[3], hi[3];  // inclusive cell ranges per channel (r, g, b)
    uint64_t count;
};

int Cell(int r, int g, int b) { return (r << 10) | (g << 5) | b; }

void Shrink(Box& b, const uint32_t* hist) {
    int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
    uint64_t n = 0;
    for (int r = b.lo[0]; r <= b.hi[0]; ++r)
        for (int g = b.lo[1]; g <= b.hi[1]; ++g)
            for (int bl = b.lo[2]; bl <= b.hi[2]; ++bl) {
                uint32_t c = hist[Cell(r, g, bl)];
                if (!c) continue;
                n += c;
                int v[3] = {r, g, bl};
                for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], v[k]), hi[k] = std::max(hi[k], v[k]);
            }
    b.count = n;
    if (n) std::memcpy(b.lo, lo, sizeof lo), std::memcpy(b.hi, hi, sizeof hi);
}

// Splits box at the weighted median of its longest side; false when it is one cell.
bool Split(Box& b, Box& out, const uint32_t* hist) {
    int axis = 0;
    for (int k = 1; k < 3; ++k)
        if (b.hi[k] - b.lo[k] > b.hi[axis] - b.lo[axis]) axis = k;
    if (b.hi[axis] == b.lo[axis]) return false;
    std::vector<uint64_t> slice(32, 0);
    for (int r = b.lo[0]; r <= b.hi[0]; ++r)
        for (int g = b.lo[1]; g <= b.hi[1]; ++g)
            for (int bl = b.lo[2]; bl <= b.hi[2]; ++bl) {
                int v[3] = {r, g, bl};
                slice[v[axis]] += hist[Cell(r, g, bl)];
            }
    uint64_t acc = 0;
    int cut = b.lo[axis];
    for (int i = b.lo[axis]; i < b.hi[axis]; ++i) {
        acc += slice[i];
        cut = i;
        if (acc * 2 >= b.count) break;
    }
    out = b;
    b.hi[axis] = cut;
    out.lo[axis] = cut + 1;
    Shrink(b, hist);
    Shrink(out, hist);
    return true;
}

uint32_t Average(const Box& b, const uint32_t* hist) {
    uint64_t n = 0, s[3] = {0, 0, 0};
    for (int r = b.lo[0]; r <= b.hi[0]; ++r)
        for (int g = b.lo[1]; g <= b.hi[1]; ++g)
            for (int bl = b.lo[2]; bl <= b.hi[2]; ++bl) {
                uint64_t c = hist[Cell(r, g, bl)];
                n += c, s[0] += c * r, s[1] += c * g, s[2] += c * bl;
            }
    if (!n) return 0;
    // Cell k covers values 8k..8k+7: scale the mean cell to its centre.
    auto ch = [&](int k) { return std::min<uint32_t>(255, uint32_t((s[k] * 8 + n * 4) / n)); };
    return (ch(0) << 16) | (ch(1) << 8) | ch(2);
}

}  // namespace

int MedianCutPalette(const uint32_t* hist, int colours, std::vector<uint32_t>& palette) {
    colours = std::clamp(colours, 1, 256);
    std::vector<Box> boxes(1, Box{{0, 0, 0}, {31, 31, 31}, 0});
    Shrink(boxes[0], hist);
    palette.clear();
    if (!boxes[0].count) return 0;
    while (int(boxes.size()) < colours) {
        // Split the box holding most pixels that can still be split.
        int best = -1;
        for (size_t i = 0; i < boxes.size(); ++i) {
            bool splittable = boxes[i].lo[0] != boxes[i].hi[0] || boxes[i].lo[1] != boxes[i].hi[1] || boxes[i].lo[2] != boxes[i].hi[2];
            if (splittable && (best < 0 || boxes[i].count > boxes[best].count)) best = int(i);
        }
        if (best < 0) break;
        Box other;
        if (!Split(boxes[best], other, hist)) break;
        boxes.push_back(other);
    }
    for (const Box& b : boxes) palette.push_back(Average(b, hist));
    return int(palette.size());
}

int NearestEntry(const std::vector<uint32_t>& palette, int r, int g, int b) {
    int best = 0;
    long bestD = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
        int dr = int((palette[i] >> 16) & 0xFF) - r, dg = int((palette[i] >> 8) & 0xFF) - g, db = int(palette[i] & 0xFF) - b;
        long d = long(dr) * dr * 3 + long(dg) * dg * 4 + long(db) * db * 2;
        if (bestD < 0 || d < bestD) bestD = d, best = int(i);
    }
    return best;
}

bool ExactPalette(const uint8_t* bgr, size_t count, std::vector<uint32_t>& palette, std::vector<uint8_t>& indices) {
    palette.clear();
    indices.resize(count);
    std::vector<std::pair<uint32_t, uint8_t>> seen;  // sorted colour -> index
    for (size_t i = 0; i < count; ++i) {
        uint32_t c = (uint32_t(bgr[i * 3 + 2]) << 16) | (uint32_t(bgr[i * 3 + 1]) << 8) | bgr[i * 3];
        auto it = std::lower_bound(seen.begin(), seen.end(), std::make_pair(c, uint8_t(0)),
                                   [](auto& a, auto& b) { return a.first < b.first; });
        if (it == seen.end() || it->first != c) {
            if (palette.size() == 256) return false;
            it = seen.insert(it, {c, uint8_t(palette.size())});
            palette.push_back(c);
        }
        indices[i] = it->second;
    }
    return true;
}

void Quantise(const uint8_t* bgr, size_t count, std::vector<uint32_t>& palette, std::vector<uint8_t>& indices) {
    if (ExactPalette(bgr, count, palette, indices)) return;
    std::vector<uint32_t> hist(32768, 0);
    for (size_t i = 0; i < count; ++i) ++hist[Cell(bgr[i * 3 + 2] >> 3, bgr[i * 3 + 1] >> 3, bgr[i * 3] >> 3)];
    MedianCutPalette(hist.data(), 256, palette);
    std::vector<int16_t> map(32768, -1);
    indices.resize(count);
    for (size_t i = 0; i < count; ++i) {
        int cell = Cell(bgr[i * 3 + 2] >> 3, bgr[i * 3 + 1] >> 3, bgr[i * 3] >> 3);
        if (map[cell] < 0) map[cell] = int16_t(NearestEntry(palette, bgr[i * 3 + 2], bgr[i * 3 + 1], bgr[i * 3]));
        indices[i] = uint8_t(map[cell]);
    }
}

}  // namespace ornix
