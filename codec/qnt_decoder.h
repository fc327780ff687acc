// QNT pixel decoders: one zlib stream of three planes of prediction residuals
// (blue, green, red) in 2x2 blocks, and for DecodeQnt32 a second zlib stream
// of alpha residuals, turned into the bottom-up rows of a 24-bit or 32-bit
// bitmap.
#pragma once

// `pixels`: the bitmap's pixel array, zero-filled, stride x h bytes, where the
// stride is the 24-bit row length (DecodeQnt24) or 4 x w (DecodeQnt32).
// `colourData`: the compressed colour stream, followed by the alpha stream.
// `header`: the QNT header body (width at +8, height at +12, compressed colour
// size at +24, compressed alpha size at +28).
//
// The caller has proven that width and height are 1..65535, that the pixel
// array has the size above, and that both compressed streams lie wholly inside
// the supplied bytes. Both return 0; a failure leaves the pixels as they were.
int DecodeQnt24(unsigned char* pixels, const unsigned char* colourData, const unsigned char* header);
int DecodeQnt32(unsigned char* pixels, const unsigned char* colourData, const unsigned char* header);

namespace qnt_detail {
// The same decoders without the four-row wavefront: the picture rows are
// rebuilt one or two at a time, as on processors without 16-byte vectors.
// Tests hold the wavefront against them.
int DecodeQnt24RowByRow(unsigned char* pixels, const unsigned char* colourData, const unsigned char* header);
int DecodeQnt32RowByRow(unsigned char* pixels, const unsigned char* colourData, const unsigned char* header);
}  // namespace qnt_detail
