// A PNG encoder over zlib for the bitmaps the plug-in returns. Native and
// Windows builds use this same encoder with the same zlib settings, so the
// same bitmap gives the same PNG bytes on both.
//
//   4-bit and 8-bit bitmaps   -> palette PNG of the same bit depth
//   16-bit (5-5-5) bitmaps    -> 8-bit RGB, each 5-bit channel widened
//   24-bit bitmaps            -> 8-bit RGB
//   32-bit bitmaps            -> 8-bit RGBA, the fourth byte being alpha
#pragma once

#include <string>

#include "tools/torva/bitmap_view.h"

namespace torva {

// How hard the compressor works: `Fast` for speed, `Best` for size, `Default`
// between them.
enum class PngLevel { Fast, Default, Best };

// Encodes the picture; on failure returns false and says why in `error`.
bool EncodePng(const BitmapView& bitmap, PngLevel level, std::string& png, std::string& error);

}  // namespace torva
