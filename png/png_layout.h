// How a picture is laid out as PNG samples, and its rows in that layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "png/png_colours.h"
#include "png/png_source.h"

namespace torva_png {

struct PngLayout {
    uint8_t colourType = 0;      // 0 grey, 2 RGB, 3 palette, 6 RGBA
    uint8_t bitDepth = 8;        // bits of a sample (an index in palette pictures)
    uint8_t palette[256 * 3];    // PLTE: red, green, blue; palette pictures only
    size_t paletteEntries = 0;
    uint8_t alpha[256];          // tRNS: alpha of the first palette entries
    size_t alphaEntries = 0;
    size_t pixelBytes = 0;       // bytes of a pixel, at least 1 (the filters' stride)
    size_t rowBytes = 0;         // bytes of a row, without its filter type
    bool filtered = true;        // palette rows are not filtered
    bool withAverage = true;     // whether filtered rows may take the Average filter
    bool dropAlpha = false;      // a format with alpha whose pixels are all opaque: written as RGB
    // For colour pictures written with a palette: the colours' numbers.
    bool fromColour = false;
    ColourIndex colours;
};

// The layout for a picture whose geometry and palette have been checked, and
// whose row bytes fit in a size_t; TORVA_PNG_OK, or
// TORVA_PNG_INDEX_PAST_PALETTE.
//
// Indexed pictures keep their indices as given, so the PNG holds the
// picture's own colour numbers (which palette effects and colour keys refer
// to); their palette is cut after the highest index the pixels use, and the
// bit depth is the smallest of 1, 2, 4 and 8 that addresses it.
//
// Colour pictures of at most 256 distinct colours (alpha included) are
// written with a palette of those colours in order of first appearance, at
// the smallest bit depth that addresses it: the same pixels in far fewer
// bytes. Others are RGB, or RGBA when a pixel is not opaque.
//
// Where no colour channel takes more than 64 distinct values (as in pictures
// of 5-6-5 or 5-5-5 colour), rows are not filtered with Average: it predicts
// values between the levels the picture uses, where the other filters predict
// with its own levels and leave differences of few distinct values, which
// compress far better.
torva_png_status ChoosePngLayout(const Source& source, PngLayout& layout);

// Row `y` of the picture, counted from the top, as `layout` says, into `out`
// (layout.rowBytes bytes; unused low bits of a last byte are 0).
void PngRowSamples(const Source& source, const PngLayout& layout, uint32_t y, uint8_t* out);

}  // namespace torva_png
