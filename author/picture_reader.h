// Pictures to encode, read from PNG (through libspng) or BMP bytes into RGBA
// rows, with the indices and palette of a palette picture beside them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "author/byte_buffer.h"
#include "author/picture_preparation.h"

namespace author {

struct InputPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    ByteBuffer rgba;        // width x height x 4, top row first
    ByteBuffer indices;     // palette pictures: width x height entries
    uint8_t palette[256 * 4] = {};  // RGBA entries
    uint32_t paletteSize = 0;
    bool narrowed = false;  // 16-bit channels were narrowed to 8 bits
    // A PNG's oFFs chunk in pixel units: where the picture stands on its
    // screen (offsets in micrometres are not a position and are ignored).
    bool hasPosition = false;
    int32_t x = 0;
    int32_t y = 0;

    SourcePicture source() const;
};

// Reads a PNG or BMP held in memory. On failure returns false and points
// `reason` at a static English phrase ("damaged PNG: ...", "not a PNG or BMP
// file", ...); `picture` is then empty.
bool ReadInputPicture(const uint8_t* bytes, size_t size, InputPicture& picture, const char** reason);

}  // namespace author
