#include "tools/torva/png_colours.h"

namespace torva {

ColourIndex::ColourIndex() {
    for (int16_t& n : numbers_) n = -1;
}

size_t ColourIndex::slotOf(uint32_t argb) const {
    size_t slot = (argb * 0x9E3779B1u) >> 22;  // the top 10 bits: kSlots slots
    while (numbers_[slot] >= 0 && keys_[slot] != argb) slot = (slot + 1) & (kSlots - 1);
    return slot;
}

int ColourIndex::find(uint32_t argb) const { return numbers_[slotOf(argb)]; }

int ColourIndex::add(uint32_t argb) {
    const size_t slot = slotOf(argb);
    if (numbers_[slot] >= 0) return numbers_[slot];
    if (count_ == kMaxColours) return -1;
    keys_[slot] = argb;
    numbers_[slot] = int16_t(count_);
    colours_[count_] = argb;
    return int(count_++);
}

bool GatherColours(const BitmapView& bitmap, ColourIndex& colours) {
    for (uint32_t y = 0; y < bitmap.height(); ++y) {
        const uint8_t* row = bitmap.row(y);
        uint32_t last = 0;
        for (uint32_t x = 0; x < bitmap.width(); ++x) {
            const uint32_t colour = PixelColour(row, bitmap.bitCount(), x);
            if (x > 0 && colour == last) continue;  // runs are common where colours are few
            if (colours.add(colour) < 0) return false;
            last = colour;
        }
    }
    return true;
}

}  // namespace torva
