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
