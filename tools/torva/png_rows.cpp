#include "tools/torva/png_rows.h"

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

void PackIndex(uint8_t* out, unsigned depth, uint32_t x, unsigned index) {
    const unsigned perByte = 8 / depth;
    out[x / perByte] |= uint8_t(index << (8 - depth - (x % perByte) * depth));
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
    if (layout.colourType != 3) {
        for (uint32_t x = 0; x < w; ++x, out += layout.pixelBytes) {
            const uint32_t c = PixelColour(src, bits, x);
            out[0] = uint8_t(c >> 16);
            out[1] = uint8_t(c >> 8);
            out[2] = uint8_t(c);
            if (layout.pixelBytes == 4) out[3] = uint8_t(c >> 24);
        }
        return;
    }
    if (layout.bitDepth == bits) {
        std::memcpy(out, src, layout.rowBytes);
        if (bits == 4 && w % 2 != 0) out[layout.rowBytes - 1] &= 0xF0;  // the unused low nibble
        return;
    }
    std::memset(out, 0, layout.rowBytes);
    if (!layout.fromTrueColour) {
        for (uint32_t x = 0; x < w; ++x) PackIndex(out, layout.bitDepth, x, Index(src, bits, x));
        return;
    }
    uint32_t last = 0;
    unsigned number = 0;
    for (uint32_t x = 0; x < w; ++x) {
        const uint32_t c = PixelColour(src, bits, x);
        if (x == 0 || c != last) number = unsigned(layout.colours.find(c));
        last = c;
        PackIndex(out, layout.bitDepth, x, number);
    }
}

}  // namespace torva
