#include "tools/torva/png_colours.h"

#include <cstring>

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

namespace {

// The colours of a row, looked up only where they change.
template <unsigned kBits>
bool GatherRow(const uint8_t* row, uint32_t width, ColourIndex& colours) {
    uint32_t last = PixelColour(row, kBits, 0);
    if (colours.add(last) < 0) return false;
    for (uint32_t x = 1; x < width; ++x) {
        const uint32_t colour = PixelColour(row, kBits, x);
        if (colour == last) continue;  // runs are common where colours are few
        if (colours.add(colour) < 0) return false;
        last = colour;
    }
    return true;
}

}  // namespace

bool GatherColours(const BitmapView& bitmap, ColourIndex& colours) {
    const unsigned bits = bitmap.bitCount();
    const size_t rowBytes = size_t(bitmap.width()) * (bits / 8);
    for (uint32_t y = 0; y < bitmap.height(); ++y) {
        const uint8_t* row = bitmap.row(y);
        if (y > 0 && std::memcmp(row, bitmap.row(y - 1), rowBytes) == 0) continue;
        const bool few = bits == 16   ? GatherRow<16>(row, bitmap.width(), colours)
                         : bits == 24 ? GatherRow<24>(row, bitmap.width(), colours)
                                      : GatherRow<32>(row, bitmap.width(), colours);
        if (!few) return false;
    }
    return true;
}

}  // namespace torva
