// The pixel area and colour table of a picture's bitmap, built around the
// decoder of its kind. Bitmap construction puts them in the block it hands to
// the host; the public API's DecodePicture builds the same bytes in its own
// memory, so the two cannot differ.
#pragma once

#include <cstdint>

#include "base/byte_span.h"
#include "codec/decode_result.h"
#include "image/parsed_image.h"

struct BuiltPixels {
    // Ok, or OutOfMemory when the builder's own scratch memory was refused
    // (then nothing else is meaningful). What the decoders find never changes
    // it: that is told by `decode` alone.
    int32_t result;
    torva::DecodeResult decode;
    uint16_t bitCount;   // the depth written
    uint32_t sizeImage;  // bytes of the pixel rows as written
};

// The depth of the bitmap for a picture whose information reports
// `reportedDepth`: a PMS depth other than 8 is built exactly as a 16-bit
// picture, so that every size follows from the depth actually written.
uint32_t BitmapDepth(const ParsedImage& image, uint32_t reportedDepth);

// `width` and `height` are those of the image information (the low 16 bits
// of the stored values); `depth` is BitmapDepth. `colourTable` has room for
// 256 entries, `pixels` for 4 x width x height bytes, both zero-filled. Rows
// are bottom-up, each padded to a multiple of 4 bytes. `mode` is that of
// KRV_GetImage: negative asks a 16-bit PMS picture for 24 or 32 bits.
BuiltPixels BuildPicturePixels(const ParsedImage& image, torva::ByteSpan file, uint32_t width, uint32_t height,
                               uint32_t depth, int32_t mode, unsigned char* colourTable, unsigned char* pixels);
