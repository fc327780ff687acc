#include "tools/torva/bitmap_png.h"

#include "png/png_writer.hpp"

namespace torva {

bool EncodePng(const BitmapView& bitmap, PngLevel level, std::string& png, std::string& error) {
    torva_png_image image{};
    image.width = bitmap.width();
    image.height = bitmap.height();
    switch (bitmap.bitCount()) {
    case 4: image.format = TORVA_PNG_INDEXED4; break;
    case 8: image.format = TORVA_PNG_INDEXED8; break;
    case 16: image.format = TORVA_PNG_RGB555; break;
    case 24: image.format = TORVA_PNG_BGR8; break;
    default: image.format = TORVA_PNG_BGRA8; break;
    }
    // The bitmap's rows are stored bottom-up.
    image.pixels = bitmap.row(0);
    image.stride = -static_cast<ptrdiff_t>(bitmap.rowLength());
    torva_png_colour palette[256];
    const size_t entries = bitmap.palette().size() < 256 ? bitmap.palette().size() : 256;
    for (size_t i = 0; i < entries; ++i) {
        const Rgb& c = bitmap.palette()[i];
        palette[i] = torva_png_colour{c.red, c.green, c.blue, 255};
    }
    image.palette = palette;
    image.palette_entries = static_cast<uint32_t>(entries);
    torva_png_options options{};
    options.level = level == PngLevel::Fast   ? TORVA_PNG_LEVEL_FAST
                    : level == PngLevel::Best ? TORVA_PNG_LEVEL_BEST
                                              : TORVA_PNG_LEVEL_DEFAULT;
    const torva_png_status status = torva_png::Write(image, options, png);
    if (status != TORVA_PNG_OK) error = torva_png_status_text(status);
    return status == TORVA_PNG_OK;
}

}  // namespace torva
