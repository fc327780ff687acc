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

// 5-bit channels widened to 8 bits by repeating their high bits.
struct Widen5 {
    uint8_t table[32];
    constexpr Widen5() : table() {
        for (unsigned v = 0; v < 32; ++v) table[v] = uint8_t(v << 3 | v >> 2);
    }
};
constexpr Widen5 kWiden5;

}  // namespace

PngLayout ChoosePngLayout(const BitmapView& bitmap) {
    PngLayout layout;
    const uint64_t w = bitmap.width();
    switch (bitmap.bitCount()) {
    case 4:
    case 8: {
        const unsigned highest = HighestIndex(bitmap);
        layout.colourType = 3;
        layout.paletteEntries = highest + 1;
        layout.bitDepth = highest < 2 ? 1 : highest < 4 ? 2 : highest < 16 ? 4 : 8;
        layout.pixelBytes = 1;
        layout.rowBytes = size_t((w * layout.bitDepth + 7) / 8);
        return layout;
    }
    case 32:
        layout.colourType = 6;
        layout.pixelBytes = 4;
        break;
    default:  // 16 (5-5-5) and 24
        layout.colourType = 2;
        layout.pixelBytes = 3;
        break;
    }
    layout.rowBytes = size_t(w * layout.pixelBytes);
    return layout;
}

void PngRowSamples(const BitmapView& bitmap, const PngLayout& layout, uint32_t y, uint8_t* out) {
    const uint8_t* src = bitmap.row(y);
    const uint32_t w = bitmap.width();
    const unsigned bits = bitmap.bitCount();
    if (layout.colourType == 3) {
        if (layout.bitDepth == bits) {
            std::memcpy(out, src, layout.rowBytes);
            if (bits == 4 && w % 2 != 0) out[layout.rowBytes - 1] &= 0xF0;  // the unused low nibble
            return;
        }
        std::memset(out, 0, layout.rowBytes);
        const unsigned depth = layout.bitDepth, perByte = 8 / depth;
        for (uint32_t x = 0; x < w; ++x) {
            out[x / perByte] |= uint8_t(Index(src, bits, x) << (8 - depth - (x % perByte) * depth));
        }
        return;
    }
    switch (bits) {
    case 16:
        for (uint32_t x = 0; x < w; ++x, out += 3) {
            const unsigned p = src[2 * x] | src[2 * x + 1] << 8;
            out[0] = kWiden5.table[(p >> 10) & 31];
            out[1] = kWiden5.table[(p >> 5) & 31];
            out[2] = kWiden5.table[p & 31];
        }
        break;
    case 24:
        for (uint32_t x = 0; x < w; ++x, src += 3, out += 3) {
            out[0] = src[2];
            out[1] = src[1];
            out[2] = src[0];
        }
        break;
    default:  // 32
        for (uint32_t x = 0; x < w; ++x, src += 4, out += 4) {
            out[0] = src[2];
            out[1] = src[1];
            out[2] = src[0];
            out[3] = src[3];
        }
        break;
    }
}

}  // namespace torva
