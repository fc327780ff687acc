// A picture decoded through the C interface with TORVASOFT_AS_STORED_FULL,
// as the PNG writer's source: the same pixels torva convert writes.
#pragma once

#include <vector>

#include "png/png_source.h"
#include "torvasoft/torvasoft.hpp"

namespace bench {

inline int PngFormatOf(int stored) {
    switch (stored) {
    case TORVASOFT_INDEXED4: return TORVA_PNG_INDEXED4;
    case TORVASOFT_INDEXED8: return TORVA_PNG_INDEXED8;
    case TORVASOFT_RGB555: return TORVA_PNG_RGB555;
    case TORVASOFT_BGR24: return TORVA_PNG_BGR8;
    case TORVASOFT_BGRA32: return TORVA_PNG_BGRA8;
    default: return TORVA_PNG_RGBA8;
    }
}

// `palette` keeps the colours the source points at.
inline torva_png::Source StoredSource(const torvasoft::Picture& picture, std::vector<torva_png_colour>& palette) {
    torva_png::Source source;
    source.width = picture.layout.width;
    source.height = picture.layout.height;
    source.format = PngFormatOf(picture.layout.format);
    source.top = picture.pixels.data();
    source.stride = ptrdiff_t(picture.layout.stride);
    for (const torvasoft_colour& c : picture.palette) palette.push_back({c.red, c.green, c.blue, c.alpha});
    source.palette = palette.data();
    source.paletteEntries = uint32_t(palette.size());
    return source;
}

}  // namespace bench
