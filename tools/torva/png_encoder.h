// The PNG writer for the bitmaps the plug-in returns: the chunk layout is
// ours, the compression and the checksums are libdeflate's. Native and Windows
// builds use the same libdeflate version with the same settings, so the same
// bitmap gives the same PNG bytes on both.
//
//   4-bit and 8-bit bitmaps   -> palette PNG; indices as stored, the palette
//                                up to the highest index used, at the smallest
//                                bit depth (1, 2, 4 or 8) that addresses it
//   16-bit (5-5-5) bitmaps    -> 8-bit RGB, each 5-bit channel widened
//   24-bit bitmaps            -> 8-bit RGB
//   32-bit bitmaps            -> 8-bit RGBA, the fourth byte being alpha
//
// except that 16-, 24- and 32-bit bitmaps of at most 256 distinct colours
// become palette PNGs of those colours (with tRNS for their alpha).
//
// Colour rows take, each, the filter that minimises the sum of the magnitudes
// of its output (Average left out in pictures of few levels a channel, such
// as 5-6-5 colour); palette rows are left unfiltered.
#pragma once

#include <string>

#include "tools/torva/bitmap_view.h"

namespace torva {

// How hard the compressor works: `Fast` for speed, `Best` for size, `Default`
// between them.
enum class PngLevel { Fast, Default, Best };

// The libdeflate compression level that `Fast` and `Best` stand for, and
// that `Default` stands for where the content does not call for another.
int DeflateLevel(PngLevel level);

// The libdeflate level of `Default` for a picture: chosen from whether it is
// written with a palette and from the thousandths of its image data's bytes
// that repeat what precedes them (zeros after the filters in colour
// pictures, runs in palette pictures).
int ChooseDeflateLevel(bool palette, unsigned repeatedPermille);

// Encodes the picture; on failure returns false and says why in `error`.
// `levelUsed`, when given, receives the libdeflate level the data took.
bool EncodePng(const BitmapView& bitmap, PngLevel level, std::string& png, std::string& error,
               int* levelUsed = nullptr);

// The same at a libdeflate level from 0 to 12, for measurements.
bool EncodePngAtDeflateLevel(const BitmapView& bitmap, int deflateLevel, std::string& png, std::string& error);

}  // namespace torva
