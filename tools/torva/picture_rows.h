// A decoded picture written as PNG straight from its decoded rows and
// palette (png/png_writer.h).
#pragma once

#include <string>

#include "tools/torva/bitmap_png.h"
#include "torvasoft/torvasoft.hpp"

namespace torva {

// Encodes `picture` (pixels in a stored format) as PNG; on failure returns
// false and says why in `error`.
bool EncodePicturePng(const torvasoft::Picture& picture, PngLevel level, std::string& png, std::string& error);

}  // namespace torva
