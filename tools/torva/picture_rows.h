// A decoded picture handed to the PNG encoder, which reads its rows and
// colour table through a bitmap view: the picture's bitmap file image is
// built from the decoded rows and viewed in place. The one place where
// convert meets the PNG encoder's interface.
#pragma once

#include <string>

#include "tools/torva/png_encoder.h"
#include "torvasoft/torvasoft.hpp"

namespace torva {

// Encodes `picture` (pixels in a stored format) as PNG; on failure returns
// false and says why in `error`.
bool EncodePicturePng(const torvasoft::Picture& picture, PngLevel level, std::string& png, std::string& error);

}  // namespace torva
