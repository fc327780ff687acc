#include "tools/torva/picture_rows.h"

#include "tools/torva/bitmap_file.h"
#include "tools/torva/bitmap_view.h"

namespace torva {

bool EncodePicturePng(const torvasoft::Picture& picture, PngLevel level, std::string& png, std::string& error) {
    std::string bitmap;
    if (!BitmapFileOf(picture, bitmap)) {
        error = "out of memory while building the bitmap";
        return false;
    }
    BitmapView view;
    return view.parse(bitmap, error) && EncodePng(view, level, png, error);
}

}  // namespace torva
