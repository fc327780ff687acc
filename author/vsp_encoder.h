// VSP writer: 16 colours of 4-bit levels, four bit-planes compressed column
// by column (8 pixels a column). Each plane of each column is parsed for the
// shortest sequence of the format's commands by dynamic programming over its
// rows; a greedy parse is kept as the yardstick.
//
// Only commands whose result the format defines are used: copies from the
// previous column from the second column on, copies from planes already
// decoded in the same column (or, from the second column on, from the
// previous column's bytes of the same or a later plane), a negation only
// right before the copy it inverts, and no command that runs past the last
// row.
#pragma once

#include <cstdint>

#include "author/author_status.h"
#include "author/byte_buffer.h"
#include "author/header_template.h"
#include "author/pms_encoder.h"

namespace author {

struct VspLevels {
    uint8_t red, green, blue;  // 0..15 each; level v shows as 17 x v
};

struct VspPicture {
    uint32_t width = 0;   // a multiple of 8, 8..640
    uint32_t height = 0;  // 1..400
    uint32_t left = 0;    // position in pixels: a multiple of 8, 0..640
    uint32_t top = 0;     // 0..400
    const uint8_t* indices = nullptr;  // width x height values 0..15, top row first
    const VspLevels* palette = nullptr;  // 16 entries
    const HeaderTemplate* like = nullptr;  // its bytes 8 and 9 are kept; the rest is written
};

// The reason a picture of this size at this position cannot be written, or Ok.
AuthorStatus CheckVspGeometry(uint32_t width, uint32_t height, uint32_t left, uint32_t top);

AuthorStatus EncodeVsp(const VspPicture& picture, ParseStrategy strategy, ByteBuffer& file);

}  // namespace author
