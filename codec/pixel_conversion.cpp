// Expansion of mask-described 16-bit pixels into 24-bit or 32-bit bitmap
// pixels, and the in-place reversal of row order.
#include "codec/pixel_conversion.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/byte_cursor.h"
#include "base/checked_size.h"

namespace {

// One output byte's channel: which bits of the source pixel it takes and the
// table that widens them to 8 bits. Every channel costs the same three steps,
// (pixel & mask) >> shift and a lookup, whatever its width:
//   - 1 to 7 bits: the table scales 0 .. 2^bits - 1 to 0 .. 255 with
//     rounding, so that full intensity stays 255 and zero stays 0;
//   - 8 bits: the table is the identity;
//   - more than 8 bits: the shift also drops the bits - 8 lowest bits of the
//     field, leaving its top 8 bits, and the table is the identity.
// An absent channel (mask 0) always looks up entry 0, which is 0.
struct Channel {
    uint32_t mask;
    uint32_t shift;
    unsigned char table[256];
};

void PrepareChannel(Channel& channel, uint32_t mask) {
    channel.mask = mask;
    for (uint32_t j = 0; j < 256; ++j) channel.table[j] = static_cast<unsigned char>(j);
    if (mask == 0) {
        channel.shift = 0;
        return;
    }
    const uint32_t low = static_cast<uint32_t>(__builtin_ctz(mask));
    // Lowest to highest set bit, holes included.
    const uint32_t bits = 32 - static_cast<uint32_t>(__builtin_clz(mask >> low));
    channel.shift = bits > 8 ? low + (bits - 8) : low;
    if (bits <= 7) {
        const uint32_t max = (uint32_t{1} << bits) - 1;
        for (uint32_t j = 0; j <= max; ++j) {
            channel.table[j] = static_cast<unsigned char>(((max >> 1) + 255 * j) / max);
        }
    }
}

// Shifts known when the row function is compiled: the ones of the 5-6-5
// layout that bitmap construction always asks for, with alpha at shift 0.
// A shift by a constant needs no count register, which would otherwise be
// reloaded for every channel of every pixel.
struct Shifts565 {
    static constexpr unsigned s0 = 0, s1 = 5, s2 = 11, s3 = 0;
};
// Marker for shifts taken from the channels at run time.
struct ShiftsAny {};

// One row. The channel descriptions are copied into locals, so that the
// stores into the row cannot be taken to change them, and a pixel's output
// bytes are gathered into one word and stored together. With 3 bytes a pixel
// the word's fourth byte lands on the next pixel's first byte, which is
// written right after; the row's last pixel is stored byte by byte, so that
// nothing past it is touched.
template <size_t BytesPerPixel, typename Shifts>
void ConvertRow(unsigned char* to, const unsigned char* from, uint32_t width, const Channel* channels) {
    const uint32_t mask0 = channels[0].mask, mask1 = channels[1].mask, mask2 = channels[2].mask;
    const uint32_t mask3 = channels[3].mask;
    unsigned shift0, shift1, shift2, shift3;
    if constexpr (std::is_same_v<Shifts, ShiftsAny>) {
        shift0 = channels[0].shift;
        shift1 = channels[1].shift;
        shift2 = channels[2].shift;
        shift3 = channels[3].shift;
    } else {
        shift0 = Shifts::s0;
        shift1 = Shifts::s1;
        shift2 = Shifts::s2;
        shift3 = Shifts::s3;
    }
    const unsigned char* const table0 = channels[0].table;
    const unsigned char* const table1 = channels[1].table;
    const unsigned char* const table2 = channels[2].table;
    const unsigned char* const table3 = channels[3].table;
    auto expand = [&](uint32_t pixel) {
        uint32_t out = uint32_t{table0[(pixel & mask0) >> shift0]} | uint32_t{table1[(pixel & mask1) >> shift1]} << 8 |
                       uint32_t{table2[(pixel & mask2) >> shift2]} << 16;
        if (BytesPerPixel == 4) out |= uint32_t{table3[(pixel & mask3) >> shift3]} << 24;
        return out;
    };
    if (width == 0) return;
    for (uint32_t i = 0; i + 1 < width; ++i) {
        const uint32_t out = expand(static_cast<uint32_t>(from[0] | from[1] << 8));
        std::memcpy(to, &out, 4);
        from += 2;
        to += BytesPerPixel;
    }
    const uint32_t out = expand(static_cast<uint32_t>(from[0] | from[1] << 8));
    for (size_t c = 0; c < BytesPerPixel; ++c) to[c] = static_cast<unsigned char>(out >> (8 * c));
}

#if defined(__SSE2__)
// The exact 5-6-5 layout with no alpha channel (the alpha byte, if any, is
// 0): eight pixels a step in 16-bit lanes. The rounding widening
// (max / 2 + 255 v) / max is done with a multiply-high and a shift that give
// the exact quotient for every dividend up to 255 x 63 + 31 (checked over all
// of them): 1/31 as 8457 / 2^18, 1/63 as 16645 / 2^20.
inline __m128i Widen5(__m128i v) {
    const __m128i dividend = _mm_add_epi16(_mm_mullo_epi16(v, _mm_set1_epi16(255)), _mm_set1_epi16(15));
    return _mm_srli_epi16(_mm_mulhi_epu16(dividend, _mm_set1_epi16(8457)), 2);
}
inline __m128i Widen6(__m128i v) {
    const __m128i dividend = _mm_add_epi16(_mm_mullo_epi16(v, _mm_set1_epi16(255)), _mm_set1_epi16(31));
    return _mm_srli_epi16(_mm_mulhi_epu16(dividend, _mm_set1_epi16(16645)), 4);
}

// Eight pixels from `from` as eight 32-bit words blue | green << 8 | red << 16,
// stored as 32 bytes at `to`.
inline void Expand565(const unsigned char* from, void* to) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i blue = Widen5(_mm_and_si128(p, _mm_set1_epi16(0x1F)));
    const __m128i green = Widen6(_mm_and_si128(_mm_srli_epi16(p, 5), _mm_set1_epi16(0x3F)));
    const __m128i red = Widen5(_mm_srli_epi16(p, 11));
    const __m128i blueGreen = _mm_or_si128(blue, _mm_slli_epi16(green, 8));
    _mm_storeu_si128(static_cast<__m128i*>(to), _mm_unpacklo_epi16(blueGreen, red));
    _mm_storeu_si128(static_cast<__m128i*>(to) + 1, _mm_unpackhi_epi16(blueGreen, red));
}

// Converts the row's pixels eight at a time, storing exactly their bytes, and
// returns how many it converted; ConvertRow does the rest of the row.
template <size_t BytesPerPixel>
uint32_t ConvertRow565(unsigned char* to, const unsigned char* from, uint32_t width) {
    uint32_t done = 0;
    alignas(16) uint32_t words[8];
    for (; done + 8 <= width; done += 8) {
        unsigned char* out = to + BytesPerPixel * size_t{done};
        if (BytesPerPixel == 4) {
            Expand565(from + 2 * size_t{done}, out);
        } else {
            Expand565(from + 2 * size_t{done}, words);
            // Four 3-byte pixels are 12 bytes: one 8-byte and one 4-byte store.
            for (size_t q = 0; q < 8; q += 4) {
                const uint64_t head = uint64_t{words[q]} | uint64_t{words[q + 1]} << 24 | uint64_t{words[q + 2]} << 48;
                const uint32_t tail = words[q + 2] >> 16 | words[q + 3] << 8;
                std::memcpy(out + 3 * q, &head, 8);
                std::memcpy(out + 3 * q + 8, &tail, 4);
            }
        }
    }
    return done;
}
#endif

}  // namespace

void ConvertMaskedPixels(unsigned char* destination, const unsigned char* source, uint32_t width, int32_t height,
                         uint32_t sourceSize, ChannelMasks& masks, uint32_t sourceBits) {
    const uint32_t bits = masks.alphaMask != 0 ? 32 : 24;
    ConvertMaskedRows(destination, static_cast<size_t>(torva::RowStride(width, bits)), source, width, height,
                      sourceSize, masks, sourceBits);
}

void ConvertMaskedRows(unsigned char* destination, size_t destinationStride, const unsigned char* source,
                       uint32_t width, int32_t height, uint32_t sourceSize, ChannelMasks& masks, uint32_t sourceBits) {
    // The alpha byte is present whenever an alpha mask is given; the full
    // 16-bit mask is the caller's signal that the byte is filled in later
    // from a separate plane, so it is written as 0 here.
    const size_t bytesPerPixel = masks.alphaMask != 0 ? 4 : 3;
    if (masks.alphaMask == 0xFFFF) masks.alphaMask = 0;

    Channel channels[4];
    PrepareChannel(channels[0], masks.blueMask);
    PrepareChannel(channels[1], masks.greenMask);
    PrepareChannel(channels[2], masks.redMask);
    PrepareChannel(channels[3], masks.alphaMask);

    if (sourceBits != 16 || width == 0 || height <= 0) return;

    // The source is read from its end backwards, one row per destination row,
    // so top-down rows come out bottom-up. A source smaller than the rows
    // asked for gives only the rows that lie wholly inside it: the rest of the
    // destination is left as it was, and nothing before `source` is read.
    const uint64_t sourceStride = torva::RowStride(width, 16);
    uint64_t rows = sourceSize / sourceStride;
    if (rows > static_cast<uint64_t>(height)) rows = static_cast<uint64_t>(height);

    const bool shifts565 = channels[0].shift == Shifts565::s0 && channels[1].shift == Shifts565::s1 &&
                           channels[2].shift == Shifts565::s2 && channels[3].shift == Shifts565::s3;
    auto row = bytesPerPixel == 4 ? (shifts565 ? ConvertRow<4, Shifts565> : ConvertRow<4, ShiftsAny>)
                                  : (shifts565 ? ConvertRow<3, Shifts565> : ConvertRow<3, ShiftsAny>);
    uint32_t (*vectorRow)(unsigned char*, const unsigned char*, uint32_t) = nullptr;
#if defined(__SSE2__)
    if (masks.blueMask == 0x1F && masks.greenMask == 0x7E0 && masks.redMask == 0xF800 && masks.alphaMask == 0) {
        vectorRow = bytesPerPixel == 4 ? ConvertRow565<4> : ConvertRow565<3>;
    }
#endif
    for (uint64_t j = 0; j < rows; ++j) {
        const unsigned char* from = source + static_cast<size_t>(sourceSize - (j + 1) * sourceStride);
        unsigned char* to = destination + static_cast<size_t>(j) * destinationStride;
        const uint32_t done = vectorRow != nullptr ? vectorRow(to, from, width) : 0;
        row(to + done * bytesPerPixel, from + 2 * size_t{done}, width - done, channels);
    }
}

void FlipRows(unsigned char* data, uint32_t rowBytes, int32_t rowCount) {
    if (rowCount <= 1 || rowBytes == 0) return;
    // Rows are swapped through a small fixed buffer, a piece at a time, so no
    // row-sized temporary is needed however wide the rows are.
    unsigned char piece[256];
    const size_t bytes = rowBytes;
    size_t top = 0;
    size_t bottom = static_cast<size_t>(rowCount - 1) * bytes;
    for (int32_t r = 0; r < rowCount / 2; ++r) {
        for (size_t done = 0; done < bytes; done += sizeof piece) {
            const size_t n = bytes - done < sizeof piece ? bytes - done : sizeof piece;
            std::memcpy(piece, data + top + done, n);
            std::memcpy(data + top + done, data + bottom + done, n);
            std::memcpy(data + bottom + done, piece, n);
        }
        top += bytes;
        bottom -= bytes;
    }
}

using torva::LoadLe16;
using torva::StoreLe16;

// 5-6-5 to 5-5-5 (red and green move down one bit, green loses its lowest),
// and top-down rows to bottom-up in the same pass: source row r becomes
// target row rows - 1 - r, so the pixels are touched once rather than
// repacked and then swapped row by row. Every pixel of a row is repacked,
// the padding pixel of an odd width included when the caller's row bytes
// take it in.
void Repack565To555BottomUp(const unsigned char* source, size_t sourceStride, unsigned char* target,
                            size_t targetStride, uint32_t rowBytes, uint32_t rows) {
    for (uint32_t r = 0; r < rows; ++r) {
        const unsigned char* from = source + static_cast<size_t>(r) * sourceStride;
        unsigned char* to = target + static_cast<size_t>(rows - 1 - r) * targetStride;
        uint32_t i = 0;
#if defined(__SSE2__)
        const __m128i keptLow = _mm_set1_epi16(0x001F);
        const __m128i movedDown = _mm_set1_epi16(0x7FE0);
        for (; i + 16 <= rowBytes; i += 16) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
            const __m128i q = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(p, 1), movedDown), _mm_and_si128(p, keptLow));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), q);
        }
#endif
        for (; i + 1 < rowBytes; i += 2) {
            const uint16_t p = LoadLe16(from + i);
            StoreLe16(to + i, static_cast<uint16_t>(((p >> 1) & 0x7FE0) | (p & 0x001F)));
        }
    }
}

// Puts alpha[c] into byte 3 of each of the `width` 4-byte pixels of `row`,
// as whole words, sixteen pixels a step where there are 16-byte vectors; the
// other bytes keep their values.
static void MergeAlphaRow(unsigned char* row, const unsigned char* alpha, uint32_t width) {
    uint32_t c = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    for (; c + 16 <= width; c += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha + c));
        // Each alpha byte moved to the top byte of a 32-bit lane.
        const __m128i low = _mm_unpacklo_epi8(zero, a);   // a0..a7 in the high byte of 16-bit lanes
        const __m128i high = _mm_unpackhi_epi8(zero, a);  // a8..a15
        const __m128i lanes[4] = {_mm_unpacklo_epi16(zero, low), _mm_unpackhi_epi16(zero, low),
                                  _mm_unpacklo_epi16(zero, high), _mm_unpackhi_epi16(zero, high)};
        for (int i = 0; i < 4; ++i) {
            __m128i* at = reinterpret_cast<__m128i*>(row + 4 * (c + 4 * i));
            _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(at), colour), lanes[i]));
        }
    }
#endif
    for (; c < width; ++c) {
        uint32_t pixel;
        std::memcpy(&pixel, row + 4 * size_t{c}, 4);
        pixel = (pixel & 0x00FFFFFFu) | uint32_t{alpha[c]} << 24;
        std::memcpy(row + 4 * size_t{c}, &pixel, 4);
    }
}

void MergeAlphaRows(unsigned char* pixels, const unsigned char* alpha, size_t alphaStride, uint32_t width,
                    uint32_t rows) {
    for (uint32_t r = 0; r < rows; ++r) {
        MergeAlphaRow(pixels + static_cast<size_t>(r) * width * 4, alpha + static_cast<size_t>(r) * alphaStride, width);
    }
}
