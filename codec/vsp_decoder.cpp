// VSP palette and plane stream.
//
// The palette stores sixteen entries of 4-bit levels in the order blue, red,
// green. The pixels are four bit-planes, compressed column by column (a column
// is 8 pixels wide); within a column plane 0, 1, 2 and 3 follow each other,
// and each plane is a run of byte commands that produce its bytes from the top
// row down:
//
//   0 n       n+1 rows copied from the same plane of the previous column
//   1 n v     n+1 rows of v
//   2 n a b   the pair a, b repeated n+1 times
//   3/4/5 n   n+1 rows copied from plane 0/1/2, XOR the negation mask, after
//             which the mask is 0x00 again
//   6         the negation mask becomes 0xFF (no rows)
//   7 v       one row of v (how the values 0..7 are stored)
//   8..255    one row holding the command byte itself
//
// A plane ends as soon as its row position reaches the picture's height, even
// when the last command ran past it. The plane buffers are never cleared
// between columns, which is what gives commands 0 and 3..5 their meaning.
#include "codec/vsp_decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/byte_cursor.h"

namespace torva {
namespace {

// Rows a plane buffer holds. Every row of a picture the header check admits
// (at most 400) fits; commands may still run further and are clipped here.
constexpr uint32_t kPlaneRows = 480;
static_assert(kPlaneRows >= kVspRowLimit, "a plane buffer holds every row of the tallest picture a header may declare");

// Level v of the 4-bit scale as a byte: the nibble repeated, 17 x v.
constexpr unsigned char kLevels[16] = {0, 17, 34, 51, 68, 85, 102, 119, 136, 153, 170, 187, 204, 221, 238, 255};

// A stored level above 15 has no place on the scale. It is clamped to 15, so a
// larger stored value never yields a darker channel than a smaller one; taking
// its low four bits instead would turn 16 into black.
inline unsigned char Level(unsigned char stored) { return kLevels[stored > 15 ? 15 : stored]; }

// One plane byte spread over the 32-bit little-endian word of a column's four
// output bytes: bit 7 - x (pixel x) lands on bit 0 of pixel x's nibble. Pixel
// 2k is the high nibble of byte k, pixel 2k + 1 the low one.
struct SpreadTable {
    uint32_t word[256];
    constexpr SpreadTable() : word() {
        for (uint32_t b = 0; b < 256; ++b) {
            uint32_t w = 0;
            for (uint32_t x = 0; x < 8; ++x) {
                if (b & (0x80u >> x)) {
                    const uint32_t byte = x >> 1;
                    const uint32_t shift = byte * 8 + ((x & 1) ? 0 : 4);
                    w |= 1u << shift;
                }
            }
            word[b] = w;
        }
    }
};
constexpr SpreadTable kSpread;

// State of one decode: the four plane buffers and the negation mask.
struct PlaneState {
    unsigned char plane[4][kPlaneRows];
    unsigned char mask;
};

// The part of rows [row, row + count) that lies inside a plane buffer.
inline uint32_t Clip(uint32_t row, uint32_t count) {
    if (row >= kPlaneRows) return 0;
    const uint32_t room = kPlaneRows - row;
    return count < room ? count : room;
}

// Decodes one plane of one column into state.plane[p]. False when the stream
// ends first; a command whose operands are not all present is not carried out.
bool DecodePlane(ByteCursor& stream, PlaneState& state, int p, uint32_t height) {
    unsigned char* const out = state.plane[p];
    uint32_t row = 0;
    while (row < height) {
        // Literals (bytes 8..255) come in runs wherever a picture is busy, so a
        // whole run up to the plane's last row is taken in one pass.
        const unsigned char* next = stream.take(0);
        const uint64_t remaining = stream.remaining();
        const uint32_t wanted = height - row;
        const uint32_t limit = remaining < wanted ? static_cast<uint32_t>(remaining) : wanted;
        uint32_t literals = 0;
        while (literals < limit && next[literals] >= 8) ++literals;
        if (literals != 0) {
            const uint32_t stored = Clip(row, literals);
            if (stored != 0) std::memcpy(out + row, next, stored);
            stream.skip(literals);
            row += literals;
            continue;
        }
        unsigned char command;
        if (!stream.readByte(&command)) return false;
        switch (command) {
        case 0: {
            const unsigned char* n = stream.take(1);
            if (n == nullptr) return false;
            // The buffer still holds the previous column's bytes at these rows.
            row += n[0] + 1u;
            break;
        }
        case 1: {
            const unsigned char* op = stream.take(2);
            if (op == nullptr) return false;
            const uint32_t count = op[0] + 1u;
            const uint32_t stored = Clip(row, count);
            if (stored != 0) std::memset(out + row, op[1], stored);
            row += count;
            break;
        }
        case 2: {
            const unsigned char* op = stream.take(3);
            if (op == nullptr) return false;
            const uint32_t count = 2 * (op[0] + 1u);
            const uint32_t stored = Clip(row, count);
            const unsigned char a = op[1];
            const unsigned char b = op[2];
            unsigned char* dst = out + row;
            uint32_t i = 0;
            for (; i + 1 < stored; i += 2) {
                dst[i] = a;
                dst[i + 1] = b;
            }
            if (i < stored) dst[i] = a;
            row += count;
            break;
        }
        case 3:
        case 4:
        case 5: {
            const unsigned char* n = stream.take(1);
            if (n == nullptr) return false;
            const uint32_t count = n[0] + 1u;
            const uint32_t stored = Clip(row, count);
            // Source and destination are either the same rows of the same
            // plane (a copy from the plane being decoded) or rows of two
            // separate buffers, never partly overlapping ones; either way
            // each row depends only on the same row of the source, so eight
            // rows can go at once as one word.
            const unsigned char* src = state.plane[command - 3] + row;
            unsigned char* dst = out + row;
            const unsigned char mask = state.mask;
            const uint64_t wideMask = uint64_t{mask} * 0x0101010101010101ull;
            uint32_t i = 0;
            for (; i + 8 <= stored; i += 8) {
                uint64_t word;
                std::memcpy(&word, src + i, 8);
                word ^= wideMask;
                std::memcpy(dst + i, &word, 8);
            }
            for (; i < stored; ++i) dst[i] = static_cast<unsigned char>(src[i] ^ mask);
            state.mask = 0x00;
            row += count;
            break;
        }
        case 6:
            state.mask = 0xFF;
            break;
        case 7: {
            const unsigned char* v = stream.take(1);
            if (v == nullptr) return false;
            if (row < kPlaneRows) out[row] = v[0];
            ++row;
            break;
        }
        default:  // 8..255, handled above as literals
            break;
        }
    }
    return true;
}

#if defined(__SSE2__)
// Bit `From` of every byte of `v` moved to bit `To` of the same byte, the
// other bits cleared. Masked to one bit a byte first, a 16-bit shift cannot
// carry a bit into the neighbouring byte.
template <int From, int To>
inline __m128i MoveBit(__m128i v) {
    const __m128i bit = _mm_and_si128(v, _mm_set1_epi8(static_cast<char>(1 << From)));
    if constexpr (To > From) {
        return _mm_slli_epi16(bit, To - From);
    } else if constexpr (To < From) {
        return _mm_srli_epi16(bit, From - To);
    } else {
        return bit;
    }
}

// Output byte K of 16 rows at once: pixel 2K (bit 7 - 2K of each plane) in
// the high nibble, pixel 2K + 1 (bit 6 - 2K) in the low one, plane p giving
// bit p of each nibble, as the spread table below does for one row.
template <int K>
inline __m128i OutputByte(const __m128i* planes) {
    constexpr int left = 7 - 2 * K;
    constexpr int right = 6 - 2 * K;
    __m128i out = _mm_or_si128(MoveBit<left, 4>(planes[0]), MoveBit<right, 0>(planes[0]));
    out = _mm_or_si128(out, _mm_or_si128(MoveBit<left, 5>(planes[1]), MoveBit<right, 1>(planes[1])));
    out = _mm_or_si128(out, _mm_or_si128(MoveBit<left, 6>(planes[2]), MoveBit<right, 2>(planes[2])));
    return _mm_or_si128(out, _mm_or_si128(MoveBit<left, 7>(planes[3]), MoveBit<right, 3>(planes[3])));
}
#endif

// Writes column `column` of rows [0, rows) from the plane buffers into the
// bottom-up pixel array: image row y goes to array row height - 1 - y.
void ConvertColumn(const PlaneState& state, unsigned char* pixels, size_t stride, uint32_t height, uint32_t rows,
                   uint32_t column) {
    unsigned char* dst = pixels + static_cast<size_t>(height - 1) * stride + static_cast<size_t>(column) * 4;
    const unsigned char* p0 = state.plane[0];
    const unsigned char* p1 = state.plane[1];
    const unsigned char* p2 = state.plane[2];
    const unsigned char* p3 = state.plane[3];
    uint32_t y = 0;
#if defined(__SSE2__)
    for (; y + 16 <= rows; y += 16) {
        const __m128i planes[4] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p0 + y)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + y)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(p2 + y)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(p3 + y))};
        // Output byte k of the 16 rows, then the rows' four bytes side by side.
        const __m128i byte0 = OutputByte<0>(planes), byte1 = OutputByte<1>(planes);
        const __m128i byte2 = OutputByte<2>(planes), byte3 = OutputByte<3>(planes);
        const __m128i low01 = _mm_unpacklo_epi8(byte0, byte1), high01 = _mm_unpackhi_epi8(byte0, byte1);
        const __m128i low23 = _mm_unpacklo_epi8(byte2, byte3), high23 = _mm_unpackhi_epi8(byte2, byte3);
        const __m128i words[4] = {_mm_unpacklo_epi16(low01, low23), _mm_unpackhi_epi16(low01, low23),
                                  _mm_unpacklo_epi16(high01, high23), _mm_unpackhi_epi16(high01, high23)};
        for (const __m128i& four : words) {
            __m128i rest = four;
            for (int i = 0; i < 4; ++i) {
                const uint32_t word = static_cast<uint32_t>(_mm_cvtsi128_si32(rest));
                std::memcpy(dst, &word, 4);
                dst -= stride;
                rest = _mm_srli_si128(rest, 4);
            }
        }
    }
#endif
    for (; y < rows; ++y) {
        const uint32_t word = kSpread.word[p0[y]] | kSpread.word[p1[y]] << 1 | kSpread.word[p2[y]] << 2 |
                              kSpread.word[p3[y]] << 3;
        torva::StoreLe32(dst, word);
        dst -= stride;
    }
}

}  // namespace

void ReadVspPalette(unsigned char* colourTable, const unsigned char* palette, int entrySizeFlag) {
    const size_t entrySize = entrySizeFlag == 0 ? 3 : 4;
    for (size_t e = 0; e < 16; ++e) {
        const unsigned char* in = palette + e * entrySize;
        unsigned char* out = colourTable + e * 4;
        out[0] = Level(in[0]);  // blue
        out[1] = Level(in[2]);  // green, stored third
        out[2] = Level(in[1]);  // red, stored second
        out[3] = entrySize == 4 ? Level(in[3]) : 0;
    }
}

DecodeStatus ReadVspPalette(ByteSpan file, unsigned char* colourTable) {
    if (!file.holds(kVspPaletteOffset, kVspPaletteBytes)) return DecodeStatus::Truncated;
    ReadVspPalette(colourTable, file.data + kVspPaletteOffset, 0);
    return DecodeStatus::Complete;
}

DecodeResult DecodeVspPlanes(const VspHeader& header, ByteSpan file, PixelSpan out) {
    const int32_t width = header.width;
    const int32_t heightField = header.height;
    if (width < 8 || heightField <= 0) return Failed(DecodeStatus::Corrupt);
    const uint32_t columns = static_cast<uint32_t>(width) >> 3;
    const uint32_t height = static_cast<uint32_t>(heightField);
    if (!out.fits(uint64_t{columns} * 4, height)) return Failed(DecodeStatus::TooLarge);
    // Only the rows a plane buffer holds can be converted; for a height above
    // 480 (no header that passes detection has one) the rows below stay zero.
    const uint32_t rows = height < kPlaneRows ? height : kPlaneRows;

    // The first column has no previous column: commands 0 and 3..5 reading a
    // plane not yet decoded there read zeros.
    PlaneState state;
    std::memset(state.plane, 0, sizeof state.plane);
    state.mask = 0x00;

    // A stream that ends before the picture is complete stops the decoding:
    // the columns already converted stay, the incomplete column and all later
    // ones stay as the caller left them (zero).
    const ByteSpan planes = file.from(kVspPlaneOffset);
    ByteCursor stream(planes.data, planes.size);
    for (uint32_t c = 0; c < columns; ++c) {
        for (int p = 0; p < 4; ++p) {
            if (!DecodePlane(stream, state, p, height)) {
                return DecodeResult{DecodeStatus::Truncated, uint64_t{c} * 8 * height};
            }
        }
        ConvertColumn(state, out.data, out.stride, height, rows, c);
    }
    return DecodeResult{DecodeStatus::Complete, uint64_t{columns} * 8 * height};
}

}  // namespace torva
