// What a decoder found, and the pixel area it writes into.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/decode_status.h"

namespace torva {

struct DecodeResult {
    DecodeStatus status;
    // Pixels produced in stream order before the decoder stopped; the
    // picture's width x height when the status is Complete.
    uint64_t pixelsProduced;
};

inline DecodeResult Failed(DecodeStatus status) { return DecodeResult{status, 0}; }

// Rows of pixels: `rows` rows of `stride` bytes from `data`. Which row is the
// picture's top is told by each decoder.
struct PixelSpan {
    unsigned char* data;
    size_t stride;
    uint32_t rows;

    unsigned char* row(uint32_t r) const { return data + r * stride; }
    // Holds `rows` rows of at least `rowBytes` bytes each.
    bool fits(uint64_t rowBytes, uint64_t rowCount) const { return rowBytes <= stride && rowCount <= rows; }
};

}  // namespace torva
