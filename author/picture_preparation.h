// From a picture as read (RGBA, and the palette and indices of a palette
// picture) to what each format holds: palette indices, 4-bit levels, 5-6-5
// pixels. Nothing is approximated here except the 5-6-5 rounding of 16-bit
// PMS, which is the format's own precision: a picture a format cannot hold
// exactly is refused with the reason.
#pragma once

#include <cstdint>

#include "author/author_status.h"
#include "author/byte_buffer.h"
#include "author/vsp_encoder.h"

namespace author {

struct SourcePicture {
    uint32_t width = 0;
    uint32_t height = 0;
    const uint8_t* rgba = nullptr;     // width x height x 4 bytes, top row first
    // A palette picture also gives its indices and palette (RGBA entries),
    // whose order the paletted formats keep.
    const uint8_t* indices = nullptr;
    const uint8_t* palette = nullptr;
    uint32_t paletteSize = 0;
};

bool AnyTranslucent(const SourcePicture& picture);

struct IndexedPicture {
    explicit IndexedPicture(uint64_t pixels) : indices(pixels) {}
    HeapArray<uint8_t> indices;
    uint8_t palette[256][3] = {};  // red, green, blue
    uint32_t colours = 0;          // distinct colours in the picture
};

// Indices into a palette of at most `most` colours: a palette picture's own
// order when every index it uses is below `most`, otherwise the colours in
// order of first appearance. TooManyColours sets `colours` to the count found.
// Translucent pixels are refused (HasAlpha).
AuthorStatus IndexPicture(const SourcePicture& picture, uint32_t most, IndexedPicture& out);

// The 16 palette entries of a VSP picture from an indexed one: every colour
// used must be made of 4-bit levels (17 x 0..15); unused entries are rounded.
AuthorStatus VspPalette(const IndexedPicture& picture, const SourcePicture& source, VspLevels (&palette)[16]);

// 5-6-5 pixels, each channel the value whose expansion (as the reader widens
// 5 and 6 bits to 8) is nearest; `rounded` tells whether any pixel changed.
// `alpha` gets the alpha values when any is below 255, else stays empty.
AuthorStatus To565(const SourcePicture& picture, HeapArray<uint16_t>& pixels, ByteBuffer& alpha, bool* rounded);

}  // namespace author
