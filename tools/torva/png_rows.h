// How a bitmap is laid out as PNG samples, and its rows in that layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/torva/bitmap_view.h"

namespace torva {

struct PngLayout {
    uint8_t colourType = 0;      // 2 RGB, 3 palette, 6 RGBA
    uint8_t bitDepth = 8;        // bits of a sample (an index in palette pictures)
    size_t paletteEntries = 0;   // PLTE entries, palette pictures only
    size_t pixelBytes = 0;       // bytes of a pixel, at least 1 (the filters' stride)
    size_t rowBytes = 0;         // bytes of a row, without its filter type
};

// The layout for a parsed bitmap. Palette pictures keep their indices as
// stored, so the PNG holds the picture's own colour numbers; their palette is
// cut after the highest index the pixels use, and the bit depth is the
// smallest of 1, 2, 4 and 8 that can address it.
PngLayout ChoosePngLayout(const BitmapView& bitmap);

// Row `y` of the picture, counted from the top, as `layout` says, into `out`
// (layout.rowBytes bytes; unused low bits of a last byte are 0).
void PngRowSamples(const BitmapView& bitmap, const PngLayout& layout, uint32_t y, uint8_t* out);

}  // namespace torva
