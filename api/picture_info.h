// A picture's information as the public API reports it, read through the
// plug-in's own image information so that the two always agree.
#pragma once

#include "image/parsed_image.h"
#include "api/library.h"

namespace torva {
namespace api {

struct PictureFacts {
    PictureInfo info;
    ParsedImage image;
    ImageInfo record;  // as KRV_GetImageInfo fills it
};

// NotRecognised when the plug-in does not take the bytes for a picture;
// otherwise what the header alone tells: Complete, OutsideFile (an offset
// past the bytes), Truncated (streams or palette running past them) or
// TooLarge (dimensions the bitmap cannot hold).
Status ReadPictureFacts(const FileAccess* file, PictureFacts* facts);

}  // namespace api
}  // namespace torva
