// The distinct colours of a true-colour picture, when there are few enough
// for a palette.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/torva/bitmap_view.h"

namespace torva {

// Up to 256 colours as 0xAARRGGBB, numbered in order of first appearance.
class ColourIndex {
public:
    static constexpr size_t kMaxColours = 256;

    ColourIndex();
    // The colour's number, adding it when new; -1 when it would be the 257th.
    int add(uint32_t argb);
    // The colour's number, or -1.
    int find(uint32_t argb) const;
    size_t size() const { return count_; }
    uint32_t colour(size_t number) const { return colours_[number]; }

private:
    static constexpr size_t kSlots = 1024;  // a power of two, four times kMaxColours
    size_t slotOf(uint32_t argb) const;

    uint32_t keys_[kSlots];
    int16_t numbers_[kSlots];  // -1: empty
    uint32_t colours_[kMaxColours];
    size_t count_ = 0;
};

// Pixel x of a 16-, 24- or 32-bit row as 0xAARRGGBB (alpha 0xFF below 32
// bits; 5-bit channels widened by repeating their high bits).
inline uint32_t PixelColour(const uint8_t* row, unsigned bitCount, uint32_t x) {
    if (bitCount == 16) {
        const unsigned p = row[2 * x] | row[2 * x + 1] << 8;
        auto widen = [](unsigned c) { return uint32_t(c << 3 | c >> 2); };
        return 0xFF000000u | widen((p >> 10) & 31) << 16 | widen((p >> 5) & 31) << 8 | widen(p & 31);
    }
    const size_t n = bitCount / 8;
    const uint8_t* p = row + n * x;
    return uint32_t(n == 4 ? p[3] : 0xFF) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// Gathers the colours of a 16-, 24- or 32-bit bitmap into `colours`; false as
// soon as there are more than 256.
bool GatherColours(const BitmapView& bitmap, ColourIndex& colours);

}  // namespace torva
