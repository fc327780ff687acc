// The caller's picture as the writer reads it: rows top-down, pixels as
// 0xAARRGGBB colours for the colour formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "png/png_writer.h"

namespace torva_png {

struct Source {
    uint32_t width = 0, height = 0;
    int format = TORVA_PNG_RGBA8;
    const uint8_t* top = nullptr;
    ptrdiff_t stride = 0;
    const torva_png_colour* palette = nullptr;
    uint32_t paletteEntries = 0;

    // Row `y`, counted from the top.
    const uint8_t* row(uint32_t y) const { return top + ptrdiff_t(y) * stride; }
};

// Bits of a pixel in `format`; 0 for no format.
inline unsigned BitsPerPixel(int format) {
    switch (format) {
    case TORVA_PNG_RGBA8:
    case TORVA_PNG_BGRA8: return 32;
    case TORVA_PNG_RGB8:
    case TORVA_PNG_BGR8: return 24;
    case TORVA_PNG_RGB555: return 16;
    case TORVA_PNG_INDEXED8:
    case TORVA_PNG_GREY8: return 8;
    case TORVA_PNG_INDEXED4: return 4;
    default: return 0;
    }
}

inline bool IsIndexed(int format) { return format == TORVA_PNG_INDEXED8 || format == TORVA_PNG_INDEXED4; }
inline bool IsColour(int format) { return !IsIndexed(format) && format != TORVA_PNG_GREY8; }
inline bool HasAlphaChannel(int format) { return format == TORVA_PNG_RGBA8 || format == TORVA_PNG_BGRA8; }

// Bytes the pixels of a row take (no padding), below 2^63.
inline uint64_t PackedRowBytes(const Source& source) {
    return (uint64_t(source.width) * BitsPerPixel(source.format) + 7) / 8;
}

// Pixel x of a row of colour format kFormat as 0xAARRGGBB (alpha 0xFF for
// formats without it).
template <int kFormat>
inline uint32_t PixelColour(const uint8_t* row, uint32_t x) {
    if (kFormat == TORVA_PNG_RGB555) {
        const unsigned p = row[2 * size_t(x)] | row[2 * size_t(x) + 1] << 8;
        auto widen = [](unsigned c) { return uint32_t(c << 3 | c >> 2); };
        return 0xFF000000u | widen((p >> 10) & 31) << 16 | widen((p >> 5) & 31) << 8 | widen(p & 31);
    }
    constexpr size_t n = kFormat == TORVA_PNG_RGBA8 || kFormat == TORVA_PNG_BGRA8 ? 4 : 3;
    constexpr bool bgr = kFormat == TORVA_PNG_BGRA8 || kFormat == TORVA_PNG_BGR8;
    const uint8_t* p = row + n * x;
    const uint32_t alpha = n == 4 ? p[3] : 0xFF;
    return alpha << 24 | uint32_t(p[bgr ? 2 : 0]) << 16 | uint32_t(p[1]) << 8 | p[bgr ? 0 : 2];
}

template <int kFormat>
using FormatConstant = std::integral_constant<int, kFormat>;

// Calls body(FormatConstant<format>()) for a colour format, so that the
// per-pixel work is compiled once for each.
template <typename Body>
void WithColourFormat(int format, Body&& body) {
    switch (format) {
    case TORVA_PNG_RGBA8: body(FormatConstant<TORVA_PNG_RGBA8>()); break;
    case TORVA_PNG_RGB8: body(FormatConstant<TORVA_PNG_RGB8>()); break;
    case TORVA_PNG_BGRA8: body(FormatConstant<TORVA_PNG_BGRA8>()); break;
    case TORVA_PNG_BGR8: body(FormatConstant<TORVA_PNG_BGR8>()); break;
    case TORVA_PNG_RGB555: body(FormatConstant<TORVA_PNG_RGB555>()); break;
    default: break;
    }
}

}  // namespace torva_png
