// QNT encoder: a picture in, the bytes of a complete QNT file out.
//
// File layout (little-endian):
//   0  "QNT\0"
//   4  version: 0, 1 or 2
//   8  (versions 1 and 2 only) header size: offset of the colour stream
//   then the header body, 32 bytes: two unused words, width, height,
//   bits per pixel (24), an unused word, compressed colour size, compressed
//   alpha size (0 when there is no alpha).
// The colour stream starts at 48 in version 0 and at the header size in
// versions 1 and 2; the alpha stream follows it directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/support/test_support.h"

namespace torvatest {

struct QntPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    Bytes bgr;    // width x height pixels, top row first, blue, green, red
    Bytes alpha;  // empty, or width x height bytes, top row first
};

struct QntOptions {
    uint32_t version = 2;
    int level = 6;            // zlib level, 0..9
    uint32_t headerSize = 0;  // versions 1 and 2; 0 = 52, otherwise at least 44
    // Value of the bytes the format carries but no pixel uses: the parts of
    // 2x2 blocks beyond an odd width or height, and the byte ending every
    // alpha row of odd width.
    unsigned char padding = 0;
};

// Offset of the header body (8 in version 0, else 12) and of the colour
// stream, as a reader finds them in `file`.
size_t QntBodyOffset(const Bytes& file);
size_t QntColourOffset(const Bytes& file);

// The uncompressed colour stream: three planes of residuals in 2x2 blocks.
Bytes QntColourResiduals(const QntPicture& picture, unsigned char padding = 0);
// The uncompressed alpha stream: h rows of residuals, padded to even length.
Bytes QntAlphaResiduals(const QntPicture& picture, unsigned char padding = 0);

Bytes ZlibCompress(const Bytes& raw, int level = 6);

// A file around already compressed streams (any bytes at all, so tests can
// make broken ones). `alphaStream` empty means no alpha. Empty on bad options.
Bytes AssembleQnt(uint32_t width, uint32_t height, const Bytes& colourStream, const Bytes& alphaStream,
                  const QntOptions& options);

// The whole file. Empty when the picture or the options are inconsistent.
Bytes WriteQnt(const QntPicture& picture, const QntOptions& options);

// The bitmap pixel array a reader should make of `picture`: bottom row first,
// 24-bit rows padded to 4 bytes without alpha, 4-byte pixels with alpha.
Bytes QntBitmapPixels(const QntPicture& picture);

// A picture of random pixels (and random alpha when `withAlpha`).
QntPicture RandomQntPicture(uint32_t width, uint32_t height, bool withAlpha, uint64_t seed);

}  // namespace torvatest
