// PMS pixel decoders: the byte codes of 8-bit paletted and 16-bit 5-6-5
// pictures (literals, escapes, fills and copies from the rows above).
#pragma once

#include <cstdint>

#include "platform/winapi.h"

// 8-bit stream into bottom-up rows of stride(8) bytes. Reads biWidth,
// biHeight and biSizeImage of `header`. `length` is the number of stream bytes
// that are actually present. Returns 0.
int DecodePms8(unsigned char* destination, const unsigned char* stream, const BITMAPINFOHEADER* header,
               uint32_t length);

// 16-bit stream into top-down rows of little-endian 5-6-5 pixels, stride(16)
// bytes per row. Reads biWidth, biHeight and biSizeImage of `header`; the
// destination holds stride(16) x biHeight bytes. `length` is the number of
// stream bytes that are actually present. Returns 0.
int DecodePms16(unsigned char* destination, const unsigned char* stream, const BITMAPINFOHEADER* header,
                uint32_t length);
