// A picture decoded into a caller-supplied span: the pixel area and colour
// table of its bitmap, built around the decoder of its format. The plug-in
// puts them in the block it hands to its host; the C interface decodes into
// its caller's buffer by the same code, so the two cannot differ.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_span.h"
#include "codec/decode_result.h"
#include "formats/picture_header.h"

struct BuiltPixels {
    // False when the builder's own scratch memory was refused (then nothing
    // else is meaningful). What the decoders find never changes it: that is
    // told by `decode` alone.
    bool built;
    torva::DecodeResult decode;
    uint16_t bitCount;   // the depth written
    uint32_t sizeImage;  // bytes of the pixel rows as written
};

// The depth of the bitmap for a picture whose information reports
// `reportedDepth`: a PMS depth other than 8 is built exactly as a 16-bit
// picture, so that every size follows from the depth actually written.
uint32_t BitmapDepth(const torva::PictureHeader& header, uint32_t reportedDepth);

// How far apart the rows are: those of a bitmap, padded to a multiple of 4
// bytes, or packed, exactly as long as their pixels.
enum class PixelRows { Padded, Packed };

size_t RowStrideOf(PixelRows rows, uint32_t width, uint32_t bits);

// Bytes of a bitmap file before its pixel rows: the file and info headers,
// and the colour table of a 4-bit or 8-bit bitmap.
uint32_t BitmapPixelOffset(uint32_t depth);

// The bytes of a whole bitmap of `depth` (BitmapDepth) with room for rows of
// 32 bits a pixel, the widest any path writes. A picture whose bitmap is
// beyond what one call may allocate is refused by every host alike.
uint64_t BitmapBlockBytes(uint32_t depth, uint32_t width, uint32_t height);

// What becomes of a QNT picture whose streams end early: the plug-in's
// bitmap keeps what the decoders give it (Plugin); the C interface gives back
// every pixel whose residuals arrived (Recover: DecodeQnt24Recovering and
// DecodeQnt32Recovering). Whole pictures and the other formats decode alike.
enum class Damaged { Plugin, Recover };

// `width` and `height` are the picture's facts (the low 16 bits of the
// stored values); `depth` is BitmapDepth. `colourTable` has room for 256
// entries; `pixels` has room for `height` rows of RowStrideOf(rows, width,
// bitCount) bytes at the bit count the picture is built at (`depth`, or 24 or
// 32 for a 16-bit PMS picture in full colour; 4 x width x height bytes are
// always enough). Both are zero-filled. Rows are bottom-up. `fullColour16`
// asks a 16-bit PMS picture for 24 or 32 bits instead of 5-5-5.
BuiltPixels BuildPicturePixels(const torva::PictureHeader& header, torva::ByteSpan file, uint32_t width,
                               uint32_t height, uint32_t depth, bool fullColour16, PixelRows rows, Damaged damaged,
                               unsigned char* colourTable, unsigned char* pixels);
