#include "author/picture_preparation.h"

#include <algorithm>

#include "author/picture_limits.h"

namespace author {
namespace {

uint64_t PixelCount(const SourcePicture& picture) { return uint64_t(picture.width) * picture.height; }

uint32_t Rgb(const uint8_t* rgba) { return uint32_t(rgba[0]) << 16 | uint32_t(rgba[1]) << 8 | rgba[2]; }

// The palette picture's own indices, when they all fit below `most`.
bool KeepsOwnPalette(const SourcePicture& picture, uint32_t most) {
    if (picture.indices == nullptr || picture.palette == nullptr) return false;
    const uint64_t count = PixelCount(picture);
    for (uint64_t i = 0; i < count; ++i) {
        if (picture.indices[i] >= most || picture.indices[i] >= picture.paletteSize) return false;
    }
    return true;
}

// Expansion of a 5-bit or 6-bit channel to 8 bits, as the reader does it.
uint8_t Expand(unsigned value, unsigned bits) {
    const unsigned max = (1u << bits) - 1;
    return uint8_t(((max >> 1) + 255 * value) / max);
}

// The channel value whose expansion is nearest to each 8-bit value.
void NearestTable(unsigned bits, uint8_t (&table)[256]) {
    const unsigned max = (1u << bits) - 1;
    for (unsigned v = 0; v < 256; ++v) {
        unsigned best = 0, bestDistance = 256;
        for (unsigned c = 0; c <= max; ++c) {
            const int e = Expand(c, bits);
            const unsigned distance = unsigned(e > int(v) ? e - int(v) : int(v) - e);
            if (distance < bestDistance) {
                best = c;
                bestDistance = distance;
            }
        }
        table[v] = uint8_t(best);
    }
}

}  // namespace

bool AnyTranslucent(const SourcePicture& picture) {
    const uint64_t count = PixelCount(picture);
    for (uint64_t i = 0; i < count; ++i) {
        if (picture.rgba[i * 4 + 3] != 255) return true;
    }
    return false;
}

AuthorStatus IndexPicture(const SourcePicture& picture, uint32_t most, IndexedPicture& out) {
    if (picture.width == 0 || picture.height == 0) return AuthorStatus::EmptyPicture;
    if (!PictureSizeAllowed(picture.width, picture.height)) return AuthorStatus::TooLarge;
    if (!out.indices.valid()) return AuthorStatus::OutOfMemory;
    if (AnyTranslucent(picture)) return AuthorStatus::HasAlpha;
    const uint64_t count = PixelCount(picture);

    if (KeepsOwnPalette(picture, most)) {
        const uint32_t entries = std::min(picture.paletteSize, most);
        for (uint32_t e = 0; e < entries; ++e) {
            for (int c = 0; c < 3; ++c) out.palette[e][c] = picture.palette[e * 4 + c];
        }
        HeapArray<uint8_t> used(256);
        if (!used.valid()) return AuthorStatus::OutOfMemory;
        out.colours = 0;
        for (uint64_t i = 0; i < count; ++i) {
            out.indices[i] = picture.indices[i];
            if (!used[picture.indices[i]]) {
                used[picture.indices[i]] = 1;
                ++out.colours;
            }
        }
        return AuthorStatus::Ok;
    }

    // Distinct colours in order of first appearance; a bit per 24-bit colour.
    HeapArray<uint8_t> seen(uint64_t{1} << 21);
    if (!seen.valid()) return AuthorStatus::OutOfMemory;
    uint32_t order[256];
    out.colours = 0;
    for (uint64_t i = 0; i < count; ++i) {
        const uint32_t colour = Rgb(picture.rgba + i * 4);
        uint8_t& bits = seen[colour >> 3];
        const uint8_t bit = uint8_t(1u << (colour & 7));
        if (bits & bit) continue;
        bits = uint8_t(bits | bit);
        if (out.colours < most) order[out.colours] = colour;
        ++out.colours;
    }
    if (out.colours > most) return AuthorStatus::TooManyColours;
    // Sorted (colour, index) pairs for the lookup.
    uint64_t sorted[256];
    for (uint32_t e = 0; e < out.colours; ++e) {
        out.palette[e][0] = uint8_t(order[e] >> 16);
        out.palette[e][1] = uint8_t(order[e] >> 8);
        out.palette[e][2] = uint8_t(order[e]);
        sorted[e] = uint64_t(order[e]) << 8 | e;
    }
    std::sort(sorted, sorted + out.colours);
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t key = uint64_t(Rgb(picture.rgba + i * 4)) << 8;
        const uint64_t* found = std::lower_bound(sorted, sorted + out.colours, key);
        out.indices[i] = uint8_t(*found & 0xFF);
    }
    return AuthorStatus::Ok;
}

AuthorStatus VspPalette(const IndexedPicture& picture, const SourcePicture& source, VspLevels (&palette)[16]) {
    bool used[16] = {};
    const uint64_t count = PixelCount(source);
    for (uint64_t i = 0; i < count; ++i) used[picture.indices[i] & 15] = true;
    for (int e = 0; e < 16; ++e) {
        const uint8_t* rgb = picture.palette[e];
        for (int c = 0; c < 3; ++c) {
            if (used[e] && rgb[c] % 17 != 0) return AuthorStatus::NotFourBitLevels;
        }
        palette[e].red = uint8_t((rgb[0] + 8) / 17);
        palette[e].green = uint8_t((rgb[1] + 8) / 17);
        palette[e].blue = uint8_t((rgb[2] + 8) / 17);
    }
    return AuthorStatus::Ok;
}

AuthorStatus To565(const SourcePicture& picture, HeapArray<uint16_t>& pixels, ByteBuffer& alpha, bool* rounded) {
    if (picture.width == 0 || picture.height == 0) return AuthorStatus::EmptyPicture;
    if (!PictureSizeAllowed(picture.width, picture.height)) return AuthorStatus::TooLarge;
    if (!pixels.valid()) return AuthorStatus::OutOfMemory;
    uint8_t five[256], six[256];
    NearestTable(5, five);
    NearestTable(6, six);
    const uint64_t count = PixelCount(picture);
    bool changed = false;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* p = picture.rgba + i * 4;
        const unsigned r = five[p[0]], g = six[p[1]], b = five[p[2]];
        changed = changed || Expand(r, 5) != p[0] || Expand(g, 6) != p[1] || Expand(b, 5) != p[2];
        pixels[i] = uint16_t(r << 11 | g << 5 | b);
    }
    alpha.resize(0);
    if (AnyTranslucent(picture)) {
        if (!alpha.resize(count)) return AuthorStatus::OutOfMemory;
        for (uint64_t i = 0; i < count; ++i) alpha.data()[i] = picture.rgba[i * 4 + 3];
    }
    if (rounded != nullptr) *rounded = changed;
    return AuthorStatus::Ok;
}

}  // namespace author
