// QNT pixel decoders: one zlib stream of three planes of prediction residuals
// (blue, green, red) in 2x2 blocks, and for DecodeQnt32 a second zlib stream
// of alpha residuals, turned into bottom-up rows of 3-byte (DecodeQnt24) or
// 4-byte (DecodeQnt32, alpha in byte 3) pixels.
#pragma once

#include "base/byte_span.h"
#include "codec/decode_result.h"
#include "codec/image_headers.h"

namespace torva {

// `file`: the whole file as supplied; the streams are found through the
// header. `out`: zero-filled rows, the picture's top row last; the bytes of a
// row past its pixels are never written.
//
// Statuses: TooLarge for a width or height above 65535 or an output too small
// for the picture; OutsideFile when the colour data begins past the file;
// Truncated when the compressed streams run past the file (nothing is
// decoded) or inflate to fewer bytes than the picture needs (the missing
// residuals count as zero); Corrupt when a stream does not inflate (the colour
// stream: nothing is written; the alpha stream: the colour stays, alpha is
// left as it was).
DecodeResult DecodeQnt24(const QntHeader& header, ByteSpan file, PixelSpan out);
DecodeResult DecodeQnt32(const QntHeader& header, ByteSpan file, PixelSpan out);

// The same for the C interface, which gives back what arrived of a damaged
// file: where both streams lie inside the file these are DecodeQnt24 and
// DecodeQnt32, unless those find a stream Corrupt. A stream that runs past the
// file, or whose data stops before its end within it, is then inflated as far
// as it goes (zlib's streaming inflate over the same bytes): a pixel is
// rebuilt exactly when its residuals arrived, and those of every pixel above
// and to the left of it, on which its prediction rests; residuals that did
// not arrive, of the colour or of the alpha, count as zero. The status is Truncated, and pixelsProduced counts the
// pixels in picture order (rows from the top, left to right) up to the first
// whose residuals are missing. A file that ends only after the pixels'
// residuals (in a checksum or the padding) is Truncated with every pixel.
// Bad data, a bad checksum or a stream beyond the scratch stay Corrupt, as
// above. The plug-in never takes this path: its bitmaps stay as they were.
DecodeResult DecodeQnt24Recovering(const QntHeader& header, ByteSpan file, PixelSpan out);
DecodeResult DecodeQnt32Recovering(const QntHeader& header, ByteSpan file, PixelSpan out);

namespace qnt_detail {
// The same decoders without the four-row wavefront: the picture rows are
// rebuilt one or two at a time, as on processors without 16-byte vectors.
// Tests hold the wavefront against them.
DecodeResult DecodeQnt24RowByRow(const QntHeader& header, ByteSpan file, PixelSpan out);
DecodeResult DecodeQnt32RowByRow(const QntHeader& header, ByteSpan file, PixelSpan out);

// The work after the inflate alone, for benchmarks that time it apart: the
// rows of `out` (3-byte pixels when `alphaRows` is null, else 4-byte) rebuilt
// from the inflated colour planes at `planes` (12 x ceil(w/2) x ceil(h/2)
// bytes) and the alpha rows (h rows of w rounded up to even).
void RebuildPixels(PixelSpan out, uint32_t width, uint32_t height, const unsigned char* planes,
                   const unsigned char* alphaRows);
}  // namespace qnt_detail

}  // namespace torva
