// VSP: a 16-colour planar picture, its palette of 4-bit levels and its four
// bit-planes compressed column by column (8 pixels a column).
#pragma once

#include <cstdint>

#include "platform/winapi.h"

// Writes the 16 colour-table entries (blue, green, red, reserved) from the
// 48 palette bytes (entry-size flag 0: 3 bytes an entry) or 64 (any other
// flag: 4 bytes an entry, the fourth going into the reserved byte). Returns 0.
int ReadVspPalette(unsigned char* colourTable, const unsigned char* palette, int entrySizeFlag);

// Decodes the plane stream into bottom-up 4-bit rows of biWidth / 2 bytes.
// Reads biWidth and biHeight of `header`; `available` is the number of stream
// bytes present. No heap allocation. Returns 0.
int DecodeVspPlanes(unsigned char* pixels, const unsigned char* planes, const BITMAPINFOHEADER* header,
                    uint32_t available);
