// The alpha of a QNT picture, sixteen picture rows at a time.
#pragma once

#include <cstdint>

namespace torva {

constexpr int kAlphaBandRows = 16;

// Rebuilds byte 3 of columns [from, to) of one later picture row, left to
// right: column 0 from the pixel above, every other column from its left
// neighbour (already rebuilt when from > 0) and the pixel above.
void RebuildAlphaSpan(unsigned char* row, const unsigned char* above, const unsigned char* residual, uint32_t from,
                      uint32_t to);

// Rebuilds byte 3 of every 4-byte pixel of the picture rows y .. y + 15
// (y >= 1): `rows[i]` is row y + i in the bitmap, `above` the finished row
// y - 1, `residuals[i]` the w alpha residuals of row y + i. The prediction is
// that of every later row: the pixel above in column 0, else the halved sum
// of left and above, minus the residual. Bytes 0 to 2 keep their values.
//
// False, with nothing written, where the processor has no 16-byte vectors or
// the rows are too narrow for one band step; the caller then goes row by row.
bool RebuildAlphaBand(unsigned char* const rows[kAlphaBandRows], const unsigned char* above,
                      const unsigned char* const residuals[kAlphaBandRows], uint32_t width);

}  // namespace torva
