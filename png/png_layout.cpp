#include "png/png_layout.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace torva_png {
namespace {

unsigned Index4(const uint8_t* row, uint32_t x) { return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15u; }

unsigned HighestIndex(const Source& source) {
    const bool four = source.format == TORVA_PNG_INDEXED4;
    const unsigned ceiling = four ? 15 : 255;
    const uint32_t w = source.width;
    unsigned highest = 0;
    for (uint32_t y = 0; y < source.height && highest < ceiling; ++y) {
        const uint8_t* row = source.row(y);
        if (!four) {
            highest = std::max<unsigned>(highest, *std::max_element(row, row + w));
            continue;
        }
        for (uint32_t x = 0; x + 1 < w; x += 2) highest = std::max({highest, Index4(row, x), Index4(row, x + 1)});
        if (w % 2 != 0) highest = std::max(highest, Index4(row, w - 1));
    }
    return highest;
}

uint8_t DepthFor(size_t highestIndex) {
    return highestIndex < 2 ? 1 : highestIndex < 4 ? 2 : highestIndex < 16 ? 4 : 8;
}

// Packs `count` indices (a multiple of 8, or the row's last ones) into
// bytes of `depth` bits each, leftmost in the high bits; `out` is the byte
// that holds the first of them.
void PackIndices(const uint8_t* indices, size_t count, unsigned depth, uint8_t* out) {
    if (depth == 8) {
        std::memcpy(out, indices, count);
        return;
    }
    const unsigned perByte = 8 / depth;
    for (size_t i = 0; i < count; i += perByte, ++out) {
        unsigned byte = 0;
        for (unsigned k = 0; k < perByte; ++k) byte = byte << depth | (i + k < count ? indices[i + k] : 0u);
        *out = uint8_t(byte);
    }
}

// Indices are worked out this many pixels at a time, then packed.
constexpr uint32_t kIndexBlock = 256;

// The palette numbers of pixels [from, from + count) of a colour row: a
// colour is looked up only where it changes.
template <int kFormat>
void ColourNumbers(const uint8_t* row, const ColourIndex& colours, uint32_t from, uint32_t count, uint8_t* out) {
    uint32_t last = PixelColour<kFormat>(row, from);
    uint8_t number = uint8_t(colours.find(last));
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t c = PixelColour<kFormat>(row, from + i);
        if (c != last) {
            number = uint8_t(colours.find(c));
            last = c;
        }
        out[i] = number;
    }
}

void IndexSamples(const Source& source, const PngLayout& layout, uint32_t y, uint8_t* out) {
    const uint8_t* src = source.row(y);
    const uint32_t w = source.width;
    uint8_t indices[kIndexBlock];
    for (uint32_t from = 0; from < w; from += kIndexBlock) {
        const uint32_t count = std::min(kIndexBlock, w - from);
        if (source.format == TORVA_PNG_INDEXED4) {
            for (uint32_t i = 0; i < count; ++i) indices[i] = uint8_t(Index4(src, from + i));
        } else if (source.format == TORVA_PNG_INDEXED8) {
            std::memcpy(indices, src + from, count);
        } else {
            WithColourFormat(source.format, [&](auto format) {
                ColourNumbers<decltype(format)::value>(src, layout.colours, from, count, indices);
            });
        }
        PackIndices(indices, count, layout.bitDepth, out + from / (8 / layout.bitDepth));
    }
}

// A blue, green, red (alpha) row as red, green, blue (alpha).
void SwapRedAndBlue(const uint8_t* src, uint32_t w, size_t n, uint8_t* out) {
    uint32_t x = 0;
    if (n == 4) {
        const __m128i greenAlpha = _mm_set1_epi32(int32_t(0xFF00FF00u)), low = _mm_set1_epi32(0xFF);
        for (; x + 4 <= w; x += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * size_t(x)));
            const __m128i swapped = _mm_or_si128(
                _mm_and_si128(v, greenAlpha),
                _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low), _mm_slli_epi32(_mm_and_si128(v, low), 16)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * size_t(x)), swapped);
        }
    }
    for (; x < w; ++x) {
        const uint8_t* p = src + n * x;
        uint8_t* q = out + n * x;
        q[0] = p[2];
        q[1] = p[1];
        q[2] = p[0];
        if (n == 4) q[3] = p[3];
    }
}

// Opaque four-byte pixels as red, green, blue.
void WithoutAlpha(const uint8_t* src, uint32_t w, bool bgr, uint8_t* out) {
    for (uint32_t x = 0; x < w; ++x, src += 4, out += 3) {
        out[0] = src[bgr ? 2 : 0];
        out[1] = src[1];
        out[2] = src[bgr ? 0 : 2];
    }
}

bool AllOpaque(const Source& source) {
    for (uint32_t y = 0; y < source.height; ++y) {
        const uint8_t* row = source.row(y);
        for (uint32_t x = 0; x < source.width; ++x) {
            if (row[4 * size_t(x) + 3] != 0xFF) return false;
        }
    }
    return true;
}

bool FewLevelsPerChannel(const Source& source) {
    constexpr unsigned kMaxLevels = 64;
    uint64_t seen[3][4] = {};  // a bit per value of red, green and blue
    bool few = true;
    WithColourFormat(source.format, [&](auto format) {
        for (uint32_t y = 0; y < source.height && few; ++y) {
            const uint8_t* row = source.row(y);
            for (uint32_t x = 0; x < source.width; ++x) {
                const uint32_t c = PixelColour<decltype(format)::value>(row, x);
                for (int channel = 0; channel < 3; ++channel) {
                    const unsigned v = (c >> (8 * channel)) & 0xFF;
                    seen[channel][v / 64] |= uint64_t(1) << (v % 64);
                }
            }
            for (const auto& channel : seen) {
                unsigned levels = 0;
                for (uint64_t word : channel) {
                    for (; word != 0; word &= word - 1) ++levels;
                }
                if (levels > kMaxLevels) few = false;
            }
        }
    });
    return few;
}

void SetPalette(PngLayout& layout, size_t number, uint32_t argb) {
    layout.palette[3 * number] = uint8_t(argb >> 16);
    layout.palette[3 * number + 1] = uint8_t(argb >> 8);
    layout.palette[3 * number + 2] = uint8_t(argb);
    layout.alpha[number] = uint8_t(argb >> 24);
    if (layout.alpha[number] != 0xFF) layout.alphaEntries = number + 1;
}

}  // namespace

torva_png_status ChoosePngLayout(const Source& source, PngLayout& layout) {
    const uint64_t w = source.width;
    layout.paletteEntries = layout.alphaEntries = 0;
    layout.filtered = layout.withAverage = true;
    layout.dropAlpha = false;
    layout.colours = ColourIndex();
    layout.fromColour = IsColour(source.format) && GatherColours(source, layout.colours);
    if (IsIndexed(source.format)) {
        const unsigned highest = HighestIndex(source);
        if (highest >= source.paletteEntries) return TORVA_PNG_INDEX_PAST_PALETTE;
        for (size_t i = 0; i <= highest; ++i) {
            const torva_png_colour& c = source.palette[i];
            SetPalette(layout, i, uint32_t(c.alpha) << 24 | uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue);
        }
        layout.paletteEntries = highest + 1;
    } else if (layout.fromColour) {
        layout.paletteEntries = layout.colours.size();
        for (size_t i = 0; i < layout.paletteEntries; ++i) SetPalette(layout, i, layout.colours.colour(i));
    }
    if (layout.paletteEntries > 0) {
        layout.colourType = 3;
        layout.bitDepth = DepthFor(layout.paletteEntries - 1);
        layout.pixelBytes = 1;
        layout.rowBytes = size_t((w * layout.bitDepth + 7) / 8);
        layout.filtered = false;
        return TORVA_PNG_OK;
    }
    layout.bitDepth = 8;
    if (source.format == TORVA_PNG_GREY8) {
        layout.colourType = 0;
        layout.pixelBytes = 1;
    } else {
        layout.dropAlpha = HasAlphaChannel(source.format) && AllOpaque(source);
        const bool alpha = HasAlphaChannel(source.format) && !layout.dropAlpha;
        layout.colourType = alpha ? 6 : 2;
        layout.pixelBytes = alpha ? 4 : 3;
        layout.withAverage = !FewLevelsPerChannel(source);
    }
    layout.rowBytes = size_t(w * layout.pixelBytes);
    return TORVA_PNG_OK;
}

void PngRowSamples(const Source& source, const PngLayout& layout, uint32_t y, uint8_t* out) {
    const uint8_t* src = source.row(y);
    const uint32_t w = source.width;
    if (layout.colourType == 3) {
        if (source.format == TORVA_PNG_INDEXED8 && layout.bitDepth == 8) {
            std::memcpy(out, src, layout.rowBytes);
        } else if (source.format == TORVA_PNG_INDEXED4 && layout.bitDepth == 4) {
            std::memcpy(out, src, layout.rowBytes);
            if (w % 2 != 0) out[layout.rowBytes - 1] &= 0xF0;  // the unused low nibble
        } else {
            IndexSamples(source, layout, y, out);
        }
        return;
    }
    switch (source.format) {
    case TORVA_PNG_GREY8:
    case TORVA_PNG_RGB8: std::memcpy(out, src, layout.rowBytes); return;
    case TORVA_PNG_RGBA8:
        if (layout.dropAlpha) {
            WithoutAlpha(src, w, false, out);
        } else {
            std::memcpy(out, src, layout.rowBytes);
        }
        return;
    case TORVA_PNG_BGRA8:
        if (layout.dropAlpha) {
            WithoutAlpha(src, w, true, out);
        } else {
            SwapRedAndBlue(src, w, 4, out);
        }
        return;
    case TORVA_PNG_BGR8: SwapRedAndBlue(src, w, 3, out); return;
    default: break;
    }
    for (uint32_t x = 0; x < w; ++x, out += 3) {  // RGB555
        const uint32_t c = PixelColour<TORVA_PNG_RGB555>(src, x);
        out[0] = uint8_t(c >> 16);
        out[1] = uint8_t(c >> 8);
        out[2] = uint8_t(c);
    }
}

}  // namespace torva_png
