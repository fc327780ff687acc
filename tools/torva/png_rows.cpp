#include "tools/torva/png_rows.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace torva {
namespace {

unsigned Index(const uint8_t* row, unsigned bitCount, uint32_t x) {
    if (bitCount == 8) return row[x];
    return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15u;
}

unsigned HighestIndex(const BitmapView& bitmap) {
    const unsigned bits = bitmap.bitCount();
    const unsigned ceiling = (1u << bits) - 1;
    const uint32_t w = bitmap.width();
    unsigned highest = 0;
    for (uint32_t y = 0; y < bitmap.height() && highest < ceiling; ++y) {
        const uint8_t* row = bitmap.row(y);
        if (bits == 8) {
            highest = std::max<unsigned>(highest, *std::max_element(row, row + w));
        } else {
            for (uint32_t x = 0; x < w; ++x) highest = std::max(highest, Index(row, bits, x));
        }
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

// The palette numbers of pixels [from, from + count) of a true-colour row:
// a colour is looked up only where it changes.
template <unsigned kBits>
void ColourNumbers(const uint8_t* row, const ColourIndex& colours, uint32_t from, uint32_t count, uint8_t* out) {
    uint32_t last = PixelColour(row, kBits, from);
    uint8_t number = uint8_t(colours.find(last));
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t c = PixelColour(row, kBits, from + i);
        if (c != last) {
            number = uint8_t(colours.find(c));
            last = c;
        }
        out[i] = number;
    }
}

void IndexSamples(const BitmapView& bitmap, const PngLayout& layout, uint32_t y, uint8_t* out) {
    const uint8_t* src = bitmap.row(y);
    const uint32_t w = bitmap.width();
    const unsigned bits = bitmap.bitCount();
    uint8_t indices[kIndexBlock];
    for (uint32_t from = 0; from < w; from += kIndexBlock) {
        const uint32_t count = std::min(kIndexBlock, w - from);
        if (bits == 4) {
            for (uint32_t i = 0; i < count; ++i) indices[i] = uint8_t(Index(src, 4, from + i));
        } else if (bits == 8) {
            std::memcpy(indices, src + from, count);
        } else if (bits == 16) {
            ColourNumbers<16>(src, layout.colours, from, count, indices);
        } else if (bits == 24) {
            ColourNumbers<24>(src, layout.colours, from, count, indices);
        } else {
            ColourNumbers<32>(src, layout.colours, from, count, indices);
        }
        PackIndices(indices, count, layout.bitDepth, out + from / (8 / layout.bitDepth));
    }
}

// A 24- or 32-bit row (blue, green, red, alpha) as red, green, blue (alpha).
void SwapRedAndBlue(const uint8_t* src, uint32_t w, unsigned bits, uint8_t* out) {
    uint32_t x = 0;
    if (bits == 32) {
        const __m128i greenAlpha = _mm_set1_epi32(int32_t(0xFF00FF00u)), low = _mm_set1_epi32(0xFF);
        for (; x + 4 <= w; x += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
            const __m128i swapped = _mm_or_si128(
                _mm_and_si128(v, greenAlpha),
                _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low), _mm_slli_epi32(_mm_and_si128(v, low), 16)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), swapped);
        }
    }
    const size_t n = bits / 8;
    for (; x < w; ++x) {
        const uint8_t* p = src + n * x;
        uint8_t* q = out + n * x;
        q[0] = p[2];
        q[1] = p[1];
        q[2] = p[0];
        if (n == 4) q[3] = p[3];
    }
}

bool FewLevelsPerChannel(const BitmapView& bitmap) {
    constexpr unsigned kMaxLevels = 64;
    uint64_t seen[3][4] = {};  // a bit per value of red, green and blue
    for (uint32_t y = 0; y < bitmap.height(); ++y) {
        const uint8_t* row = bitmap.row(y);
        for (uint32_t x = 0; x < bitmap.width(); ++x) {
            const uint32_t c = PixelColour(row, bitmap.bitCount(), x);
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
            if (levels > kMaxLevels) return false;
        }
    }
    return true;
}

}  // namespace

void ChoosePngLayout(const BitmapView& bitmap, PngLayout& layout) {
    const uint64_t w = bitmap.width();
    const unsigned bits = bitmap.bitCount();
    layout.paletteEntries = layout.alphaEntries = 0;
    layout.withAverage = true;
    layout.colours = ColourIndex();
    layout.fromTrueColour = bits > 8 && GatherColours(bitmap, layout.colours);
    if (bits <= 8) {
        const unsigned highest = HighestIndex(bitmap);
        std::copy(bitmap.palette().begin(), bitmap.palette().begin() + highest + 1, layout.palette);
        layout.paletteEntries = highest + 1;
    } else if (layout.fromTrueColour) {
        layout.paletteEntries = layout.colours.size();
        for (size_t i = 0; i < layout.paletteEntries; ++i) {
            const uint32_t c = layout.colours.colour(i);
            layout.palette[i] = Rgb{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
            layout.alpha[i] = uint8_t(c >> 24);
            if (layout.alpha[i] != 0xFF) layout.alphaEntries = i + 1;
        }
    }
    if (layout.paletteEntries > 0) {
        layout.colourType = 3;
        layout.bitDepth = DepthFor(layout.paletteEntries - 1);
        layout.pixelBytes = 1;
        layout.rowBytes = size_t((w * layout.bitDepth + 7) / 8);
        return;
    }
    layout.colourType = bits == 32 ? 6 : 2;
    layout.withAverage = !FewLevelsPerChannel(bitmap);
    layout.bitDepth = 8;
    layout.pixelBytes = bits == 32 ? 4 : 3;
    layout.rowBytes = size_t(w * layout.pixelBytes);
}

void PngRowSamples(const BitmapView& bitmap, const PngLayout& layout, uint32_t y, uint8_t* out) {
    const uint8_t* src = bitmap.row(y);
    const uint32_t w = bitmap.width();
    const unsigned bits = bitmap.bitCount();
    if (layout.colourType == 3) {
        if (layout.bitDepth == bits) {
            std::memcpy(out, src, layout.rowBytes);
            if (bits == 4 && w % 2 != 0) out[layout.rowBytes - 1] &= 0xF0;  // the unused low nibble
        } else {
            IndexSamples(bitmap, layout, y, out);
        }
        return;
    }
    if (bits != 16) {
        SwapRedAndBlue(src, w, bits, out);
        return;
    }
    for (uint32_t x = 0; x < w; ++x, out += 3) {
        const uint32_t c = PixelColour(src, 16, x);
        out[0] = uint8_t(c >> 16);
        out[1] = uint8_t(c >> 8);
        out[2] = uint8_t(c);
    }
}

}  // namespace torva
