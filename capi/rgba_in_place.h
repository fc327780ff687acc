// Stored pixels turned into RGBA in the buffer that holds them.
#pragma once

#include <cstdint>

namespace torva {
namespace capi {

// `buffer` holds `height` packed top-down rows of `width` pixels of `bits`
// (4, 8, 16 as 5-5-5, 24 as blue, green, red, or 32 as blue, green, red,
// alpha) at its start, and has room for 4 x width x height bytes; the rows
// become RGBA in place, alpha 255 where the pixels have none. `colourTable`
// (blue, green, red, 0 entries) colours the indexed bits. Pixels are turned
// from the last to the first: a pixel's RGBA never lies before its stored
// bytes, so none is overwritten before it is read.
void ExpandToRgbaInPlace(uint8_t* buffer, uint32_t width, uint32_t height, uint32_t bits,
                         const unsigned char* colourTable);

}  // namespace capi
}  // namespace torva
