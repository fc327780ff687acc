// The plug-in's bitmap written as PNG by the PNG writer (png/png_writer.h).
#pragma once

#include <string>

#include "tools/torva/bitmap_view.h"

namespace torva {

enum class PngLevel { Fast, Default, Best };

// Encodes the picture; on failure returns false and says why in `error`.
bool EncodePng(const BitmapView& bitmap, PngLevel level, std::string& png, std::string& error);

}  // namespace torva
