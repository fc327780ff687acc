// PMS writers. The pixel streams come from a parser that finds the shortest
// sequence of the format's codes (literals, escapes, the two diagonal
// copies, fills, pairs, copies from one and two rows up, and in 16-bit
// streams the packed colour run): dynamic programming over the pixel
// positions from the last to the first, each position taking the code and
// length that leave the fewest bytes for the rest. A greedy parse (the code
// giving the most pixels per byte at each position) is kept as the yardstick.
//
// Every back-reference stays inside the pixels already produced, and no code
// produces pixels beyond the picture, so the streams decode the same whatever
// a decoder does at those edges.
//
// Files written: version 1 headers (48 bytes), the position at 16 and 20.
// 8-bit: the palette (256 x red, green, blue) right after the header, the
// stream after it. 16-bit: the stream right after the header and, when there
// is one, the alpha stream (an 8-bit stream) right after it. With a template,
// its 48 or 64 bytes are the header instead, and only the depth, the
// position, the size and the offsets are written over them; its comment, if
// any, follows the last stream, and the comment offset (40) points at it.
#pragma once

#include <cstdint>

#include "author/author_status.h"
#include "author/byte_buffer.h"
#include "author/header_template.h"

namespace author {

enum class ParseStrategy { Shortest, Greedy };

// Streams for `count` pixels in rows of `width` pixels, top row first.
AuthorStatus EncodePms8Stream(const uint8_t* pixels, uint64_t count, uint32_t width, ParseStrategy strategy,
                              ByteBuffer& stream);
AuthorStatus EncodePms16Stream(const uint16_t* pixels, uint64_t count, uint32_t width, ParseStrategy strategy,
                               ByteBuffer& stream);

struct Pms8Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    const uint8_t* indices = nullptr;  // width x height, top row first
    const uint8_t* palette = nullptr;  // 256 entries of red, green, blue
    uint32_t left = 0;                 // the position's bits (CheckStoredPosition)
    uint32_t top = 0;
    const HeaderTemplate* like = nullptr;
};

struct Pms16Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    const uint16_t* pixels = nullptr;  // 5-6-5, width x height, top row first
    const uint8_t* alpha = nullptr;    // null, or width x height values
    uint32_t left = 0;                 // the position's bits (CheckStoredPosition)
    uint32_t top = 0;
    const HeaderTemplate* like = nullptr;
};

AuthorStatus EncodePms8(const Pms8Picture& picture, ParseStrategy strategy, ByteBuffer& file);
AuthorStatus EncodePms16(const Pms16Picture& picture, ParseStrategy strategy, ByteBuffer& file);

}  // namespace author
