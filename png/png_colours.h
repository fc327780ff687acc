// The distinct colours of a colour picture, when there are few enough for a
// palette.
#pragma once

#include <cstddef>
#include <cstdint>

#include "png/png_source.h"

namespace torva_png {

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

// Gathers the colours of a picture of a colour format into `colours`; false
// as soon as there are more than 256.
bool GatherColours(const Source& source, ColourIndex& colours);

}  // namespace torva_png
