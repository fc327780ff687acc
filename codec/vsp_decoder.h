// VSP: a 16-colour planar picture, its palette of 4-bit levels and its four
// bit-planes compressed column by column (8 pixels a column).
#pragma once

#include <cstdint>

#include "base/byte_span.h"
#include "codec/decode_result.h"
#include "codec/image_headers.h"

namespace torva {

// Writes the 16 colour-table entries (blue, green, red, reserved) from the
// 48 palette bytes (entry-size flag 0: 3 bytes an entry) or 64 (any other
// flag: 4 bytes an entry, the fourth going into the reserved byte).
void ReadVspPalette(unsigned char* colourTable, const unsigned char* palette, int entrySizeFlag);

// The file's palette (3 bytes an entry) into the colour table; Truncated, and
// the table untouched, when the file ends before the palette does.
DecodeStatus ReadVspPalette(ByteSpan file, unsigned char* colourTable);

// Decodes the plane stream that follows the palette into 4-bit rows of
// width / 2 bytes, the picture's top row last. No heap allocation. Every
// command byte has a meaning, so the statuses are Complete, Truncated (the
// stream ended inside a column: the columns before it are stored, the pixels
// produced count whole columns) and TooLarge (an output too small).
DecodeResult DecodeVspPlanes(const VspHeader& header, ByteSpan file, PixelSpan out);

}  // namespace torva
