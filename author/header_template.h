// What a re-encoded picture keeps of the file it replaces: the original's
// header bytes, so that every field the encoder does not compute (format
// version, header size, spare and reserved fields) is written back as it
// was, and a PMS picture's comment. The encoder overwrites only what depends
// on the new pixels (size, stream sizes and offsets) and the position.
#pragma once

#include <cstdint>

#include "author/author_status.h"

namespace author {

struct HeaderTemplate {
    // QNT: the file's bytes before its colour stream (48 in version 0, else
    // the stored header size, at least the 44 bytes of the header's fields);
    // PMS: its 48 or 64 header bytes; VSP: its first 10 bytes.
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    // PMS: the comment the header points at, with its terminating NUL; null
    // when there is none.
    const uint8_t* comment = nullptr;
    uint32_t commentSize = 0;
};

// QNT and PMS store the position as two signed 32-bit fields; `left` and
// `top` carry their bits. Any position is accepted, negative ones included
// (a picture may start left of or above its screen), whose far edge
// (position + size) is still a 32-bit signed value: OutOfBounds otherwise.
inline AuthorStatus CheckStoredPosition(uint32_t width, uint32_t height, uint32_t left, uint32_t top) {
    const int64_t right = int64_t{static_cast<int32_t>(left)} + width;
    const int64_t bottom = int64_t{static_cast<int32_t>(top)} + height;
    return right > INT32_MAX || bottom > INT32_MAX ? AuthorStatus::OutOfBounds : AuthorStatus::Ok;
}

}  // namespace author
