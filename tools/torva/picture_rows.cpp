#include "tools/torva/picture_rows.h"

#include <vector>

#include "png/png_writer.hpp"

namespace torva {

namespace {

int PngFormatOf(int stored) {
    switch (stored) {
    case TORVASOFT_INDEXED4: return TORVA_PNG_INDEXED4;
    case TORVASOFT_INDEXED8: return TORVA_PNG_INDEXED8;
    case TORVASOFT_RGB555: return TORVA_PNG_RGB555;
    case TORVASOFT_BGR24: return TORVA_PNG_BGR8;
    case TORVASOFT_BGRA32: return TORVA_PNG_BGRA8;
    default: return TORVA_PNG_RGBA8;
    }
}

int PngLevelOf(PngLevel level) {
    switch (level) {
    case PngLevel::Fast: return TORVA_PNG_LEVEL_FAST;
    case PngLevel::Best: return TORVA_PNG_LEVEL_BEST;
    default: return TORVA_PNG_LEVEL_DEFAULT;
    }
}

}  // namespace

bool EncodePicturePng(const torvasoft::Picture& picture, const torvasoft_info& info, PngLevel level, std::string& png,
                      std::string& error) {
    std::vector<torva_png_colour> palette;
    try {
        for (const torvasoft_colour& c : picture.palette) palette.push_back({c.red, c.green, c.blue, c.alpha});
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
    torva_png_image image{};
    image.width = picture.layout.width;
    image.height = picture.layout.height;
    image.format = PngFormatOf(picture.layout.format);
    image.pixels = picture.pixels.data();
    image.stride = static_cast<ptrdiff_t>(picture.layout.stride);
    image.palette = palette.empty() ? nullptr : palette.data();
    image.palette_entries = static_cast<uint32_t>(palette.size());
    torva_png_options options{};
    options.level = PngLevelOf(level);
    options.has_position = info.has_position != 0 && (info.x != 0 || info.y != 0) ? 1 : 0;
    options.x = info.x;
    options.y = info.y;
    const torva_png_status status = torva_png::Write(image, options, png);
    if (status != TORVA_PNG_OK) {
        error = torva_png_status_text(status);
        return false;
    }
    return true;
}

}  // namespace torva
