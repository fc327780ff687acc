#include "png/png_colours.h"

#include <cstring>

namespace torva_png {

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
template <int kFormat>
bool GatherRow(const uint8_t* row, uint32_t width, ColourIndex& colours) {
    uint32_t last = PixelColour<kFormat>(row, 0);
    if (colours.add(last) < 0) return false;
    for (uint32_t x = 1; x < width; ++x) {
        const uint32_t colour = PixelColour<kFormat>(row, x);
        if (colour == last) continue;  // runs are common where colours are few
        if (colours.add(colour) < 0) return false;
        last = colour;
    }
    return true;
}

}  // namespace

bool GatherColours(const Source& source, ColourIndex& colours) {
    const size_t rowBytes = size_t(PackedRowBytes(source));
    bool few = true;
    WithColourFormat(source.format, [&](auto format) {
        for (uint32_t y = 0; y < source.height && few; ++y) {
            const uint8_t* row = source.row(y);
            if (y > 0 && std::memcmp(row, source.row(y - 1), rowBytes) == 0) continue;
            few = GatherRow<decltype(format)::value>(row, source.width, colours);
        }
    });
    return few;
}

}  // namespace torva_png
