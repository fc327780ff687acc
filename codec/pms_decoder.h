// PMS pixel decoders: the byte codes of 8-bit paletted and 16-bit 5-6-5
// pictures (literals, escapes, fills and copies from the rows above), and the
// 8-bit palette beside them.
#pragma once

#include <cstdint>

#include "base/byte_span.h"
#include "codec/decode_result.h"
#include "codec/image_headers.h"

namespace torva {

// Which 8-bit stream of a PMS file to decode: the pixels of an 8-bit picture
// (at the pixel offset) or the alpha plane of a 16-bit one (at the alpha
// offset). Either runs to the end of the file.
enum class PmsStream { Pixels, Alpha };

// The 8-bit stream into `out`, one byte a pixel, the picture's top row last;
// the bytes of a row past its pixels are never written. Every code byte has a
// meaning, so the statuses are: Complete, Truncated (the stream ended first;
// the pixels produced are stored), OutsideFile (the stream's offset lies past
// the file), TooLarge and OutOfMemory (nothing decoded).
DecodeResult DecodePms8(const PmsHeader& header, ByteSpan file, PmsStream which, PixelSpan out);

// The 16-bit colour stream into `out`, little-endian 5-6-5 pixels, the
// picture's top row first. The stream ends at the alpha offset when there is
// an alpha plane after it. Statuses as for DecodePms8.
DecodeResult DecodePms16(const PmsHeader& header, ByteSpan file, PixelSpan out);

// The 256 palette entries (red, green, blue at the palette offset) into a
// colour table of blue, green, red, 0. OutsideFile or Truncated when the
// palette does not lie wholly inside the file; the table is then untouched.
DecodeStatus ReadPmsPalette(const PmsHeader& header, ByteSpan file, unsigned char* colourTable);

}  // namespace torva
