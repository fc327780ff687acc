// A picture turned into the PNG `torva convert` writes for it by default:
// the library's stored pixels in full colour (the plug-in's negative mode),
// laid out as the bitmap the convert command encodes, through the same
// encoder at the same level.
#pragma once

#include <string>

namespace torva {

// `name` is the picture's name (its extension tells VSP). False, with
// `error` saying why, for a picture that is damaged or cannot be encoded.
bool PictureToPng(const std::string& bytes, const std::string& name, std::string& png, std::string& error);

}  // namespace torva
