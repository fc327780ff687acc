// QNT writer: three planes of prediction residuals in 2x2 blocks, and an
// alpha plane when any pixel is translucent, each compressed as one zlib
// stream by libdeflate at its strongest level.
//
// Header written: version 2 with a header size of 52, the layout the
// project's own test files use; the two body fields before the width hold
// the position, the one after the bit depth is 0, and so are the 8 bytes
// between the body and the colour stream. With a template, its bytes are the
// header instead (its version and size included), and only the position,
// width, height, bit depth and the two stream sizes are written over them.
#pragma once

#include <cstdint>

#include "author/author_status.h"
#include "author/byte_buffer.h"
#include "author/header_template.h"

namespace author {

constexpr uint32_t kQntVersion = 2;
constexpr uint32_t kQntHeaderSize = 52;

struct QntEncodeInfo {
    bool alpha = false;         // an alpha plane was written
    uint32_t colourStream = 0;  // compressed sizes in bytes
    uint32_t alphaStream = 0;
};

// `rgba`: width x height pixels of red, green, blue, alpha, top row first.
// Replaces `file` with the complete QNT file. `like` may be null; `left`
// and `top` are the position's bits (CheckStoredPosition).
AuthorStatus EncodeQnt(const uint8_t* rgba, uint32_t width, uint32_t height, ByteBuffer& file,
                       QntEncodeInfo* info = nullptr, const HeaderTemplate* like = nullptr, uint32_t left = 0,
                       uint32_t top = 0);

// The uncompressed streams, for comparisons: the three colour planes, and
// the alpha rows (each padded to an even length).
AuthorStatus QntColourResiduals(const uint8_t* rgba, uint32_t width, uint32_t height, ByteBuffer& out);
AuthorStatus QntAlphaResiduals(const uint8_t* rgba, uint32_t width, uint32_t height, ByteBuffer& out);

}  // namespace author
