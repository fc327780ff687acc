// The bitmap file image of a decoded picture, laid out as a viewer's plug-in
// hands its bitmaps over: the 14-byte file header, the 40-byte info header
// (uncompressed, no resolution, no colour count), a colour table of 16 or 256
// blue-green-red-zero entries for the indexed formats, then the rows bottom
// up, each padded with zeros to a multiple of 4 bytes. A 32-bit picture,
// which has alpha, gets a 124-byte BITMAPV5HEADER instead, whose channel
// masks name the fourth byte of each pixel as alpha (its rows are the
// plug-in's).
#pragma once

#include <string>

#include "torvasoft/torvasoft.hpp"

namespace torva {

// Bits a pixel of a stored pixel format: 4, 8, 16, 24 or 32; 0 for RGBA8,
// which no bitmap holds as stored.
unsigned BitmapBitCount(int format);

// The bitmap of `picture`, which has pixels in one of the stored formats.
// False when there is none to build, when it would not fit the 32-bit sizes
// of the headers, or when memory runs out.
bool BitmapFileOf(const torvasoft::Picture& picture, std::string& bitmap);

}  // namespace torva
