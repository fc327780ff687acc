// A decoded picture written as PNG straight from its decoded rows and
// palette (png/png_writer.h).
#pragma once

#include <string>

#include "tools/torva/bitmap_png.h"
#include "torvasoft/torvasoft.hpp"

namespace torva {

// Encodes `picture` (pixels in a stored format) as PNG; on failure returns
// false and says why in `error`. A picture standing anywhere but at (0, 0)
// of its screen (`info`: its header) gets an oFFs chunk in pixels; at (0, 0)
// the PNG has none, as a PNG without one stands there too.
bool EncodePicturePng(const torvasoft::Picture& picture, const torvasoft_info& info, PngLevel level, std::string& png,
                      std::string& error);

}  // namespace torva
