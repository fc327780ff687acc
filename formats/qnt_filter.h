// The prediction filter of QNT's colour and alpha planes, shared by the
// decoders (codec/qnt_decoder.cpp, codec/qnt_alpha_band.cpp) and the encoder
// (author/qnt_encoder.cpp).
//
// A pixel's prediction is its left neighbour on the top row, the pixel above
// in the first column, and (left + above) / 2 elsewhere, the sum taken at
// full width (0..510 before halving, never reduced first). The stored
// residual is the prediction minus the value, modulo 256. The very first
// pixel is stored as it is.
#pragma once

#include <cstdint>

namespace torva {

// The prediction of a pixel that has both a left neighbour and one above.
inline unsigned Predict(unsigned left, unsigned above) { return (left + above) >> 1; }

// The value back from a prediction and its residual.
inline unsigned Unfilter(unsigned prediction, unsigned residual) { return (prediction - residual) & 0xFFu; }

// One step of the filter on a later row: the value of a pixel with both
// neighbours from its residual.
inline unsigned Unpredict(unsigned left, unsigned above, unsigned residual) {
    return Unfilter(Predict(left, above), residual);
}

// The residual that gives `value` back at (x, y), whose left neighbour and
// the pixel above (where they exist) are `left` and `above`.
inline uint8_t Residual(uint32_t x, uint32_t y, unsigned left, unsigned above, unsigned value) {
    if (x == 0 && y == 0) return static_cast<uint8_t>(value);
    const unsigned prediction = y == 0 ? left : x == 0 ? above : Predict(left, above);
    return static_cast<uint8_t>(prediction - value);
}

}  // namespace torva
