// Sixteen rows of alpha on a wavefront.
//
// Within a row every pixel waits for its left neighbour; row y + 1 needs row
// y only at the same column. So with row y + i running i columns behind row
// y, the sixteen pixels of a diagonal (row y + i at column s - i, byte i of
// one vector) depend only on the diagonal before, and one vector step
// rebuilds all sixteen. Residual rows are read sixteen columns at a time and
// turned into diagonals by a 16 x 16 byte transposition, and the diagonals
// back into rows the same way, so that every load and store is 16 bytes.
//
// Diagonals whose pixels all lie in columns 1 to w - 1 go through the
// vectors; the triangles on either side (the first columns of the lower rows,
// the last columns of the upper rows) go pixel by pixel, top row first.
#include "codec/qnt_alpha_band.h"

#include <cstddef>

#include "formats/qnt_filter.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torva {

void RebuildAlphaSpan(unsigned char* row, const unsigned char* above, const unsigned char* residual, uint32_t from,
                      uint32_t to) {
    uint32_t x = from;
    if (x == 0 && x < to) {
        row[3] = static_cast<unsigned char>(above[3] - residual[0]);
        x = 1;
    }
    if (x >= to) return;
    unsigned left = row[std::size_t{x - 1} * 4 + 3];
    for (; x < to; ++x) {
        const std::size_t at = std::size_t{x} * 4 + 3;
        left = Unpredict(left, above[at], residual[x]);
        row[at] = static_cast<unsigned char>(left);
    }
}

namespace {

#if defined(__SSE2__)
// One round of the 16 x 16 byte transposition: rows j and j + 8 interleaved.
// Four rounds take byte i of from[k] to byte k of row i. Written out, as the
// compiler keeps a loop here at -O2.
inline void Interleave(const __m128i f[16], __m128i t[16]) {
    t[0] = _mm_unpacklo_epi8(f[0], f[8]);
    t[1] = _mm_unpackhi_epi8(f[0], f[8]);
    t[2] = _mm_unpacklo_epi8(f[1], f[9]);
    t[3] = _mm_unpackhi_epi8(f[1], f[9]);
    t[4] = _mm_unpacklo_epi8(f[2], f[10]);
    t[5] = _mm_unpackhi_epi8(f[2], f[10]);
    t[6] = _mm_unpacklo_epi8(f[3], f[11]);
    t[7] = _mm_unpackhi_epi8(f[3], f[11]);
    t[8] = _mm_unpacklo_epi8(f[4], f[12]);
    t[9] = _mm_unpackhi_epi8(f[4], f[12]);
    t[10] = _mm_unpacklo_epi8(f[5], f[13]);
    t[11] = _mm_unpackhi_epi8(f[5], f[13]);
    t[12] = _mm_unpacklo_epi8(f[6], f[14]);
    t[13] = _mm_unpackhi_epi8(f[6], f[14]);
    t[14] = _mm_unpacklo_epi8(f[7], f[15]);
    t[15] = _mm_unpackhi_epi8(f[7], f[15]);
}

void Transpose(__m128i m[16]) {
    __m128i t[16];
    Interleave(m, t);
    Interleave(t, m);
    Interleave(m, t);
    Interleave(t, m);
}

// Byte 3 of the sixteen 4-byte pixels from `pixels`, in bytes 0 to 15.
__m128i AlphaOf16(const unsigned char* pixels) {
    __m128i quad[4];
    for (int j = 0; j < 4; ++j) {
        quad[j] = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 16 * j)), 24);
    }
    return _mm_packus_epi16(_mm_packs_epi32(quad[0], quad[1]), _mm_packs_epi32(quad[2], quad[3]));
}

// Four alpha bytes, in byte 3 of each 32-bit lane, into the four pixels at
// `pixels`.
inline void StoreAlpha4(unsigned char* pixels, __m128i alphaHigh) {
    __m128i* at = reinterpret_cast<__m128i*>(pixels);
    const __m128i colour = _mm_and_si128(_mm_loadu_si128(at), _mm_set1_epi32(0x00FFFFFF));
    _mm_storeu_si128(at, _mm_or_si128(colour, alphaHigh));
}

// Bytes 0 to 15 of `alpha` into byte 3 of the sixteen pixels from `pixels`.
inline void StoreAlpha16(unsigned char* pixels, __m128i alpha) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_unpacklo_epi8(zero, alpha);
    const __m128i high = _mm_unpackhi_epi8(zero, alpha);
    StoreAlpha4(pixels, _mm_unpacklo_epi16(zero, low));
    StoreAlpha4(pixels + 16, _mm_unpackhi_epi16(zero, low));
    StoreAlpha4(pixels + 32, _mm_unpacklo_epi16(zero, high));
    StoreAlpha4(pixels + 48, _mm_unpackhi_epi16(zero, high));
}
#endif

}  // namespace

bool RebuildAlphaBand(unsigned char* const rows[kAlphaBandRows], const unsigned char* above,
                      const unsigned char* const residuals[kAlphaBandRows], uint32_t width) {
#if defined(__SSE2__)
    constexpr uint32_t n = kAlphaBandRows;
    // A step takes diagonals s .. s + 15 with s >= 16 (row y + 15 from
    // column 1) and s + 15 <= w - 1: at least one step needs w >= 32.
    if (width < 2 * n) return false;
    for (uint32_t i = 0; i < n; ++i) RebuildAlphaSpan(rows[i], i == 0 ? above : rows[i - 1], residuals[i], 0, n - i);

    // Diagonal 15: row y + i at column 15 - i.
    alignas(16) unsigned char first[n];
    for (uint32_t i = 0; i < n; ++i) first[i] = rows[i][std::size_t{n - 1 - i} * 4 + 3];
    __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(first));

    const __m128i one = _mm_set1_epi8(1);
    const __m128i lowest = _mm_cvtsi32_si128(0xFF);
    uint32_t s = n;
    for (; s + n <= width; s += n) {
        __m128i m[n];
        for (uint32_t i = 0; i < n; ++i) {
            m[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(residuals[i] + (s - i)));
        }
        Transpose(m);
        // Row y - 1 at columns s .. s + 15, taken into byte 0 one a step.
        __m128i top = AlphaOf16(above + std::size_t{s} * 4);
        for (uint32_t k = 0; k < n; ++k) {
            const __m128i up = _mm_or_si128(_mm_slli_si128(v, 1), _mm_and_si128(top, lowest));
            top = _mm_srli_si128(top, 1);
            // floor((left + up) / 2): the rounding average, less one when odd.
            const __m128i odd = _mm_and_si128(_mm_xor_si128(v, up), one);
            v = _mm_sub_epi8(_mm_sub_epi8(_mm_avg_epu8(v, up), odd), m[k]);
            m[k] = v;
        }
        Transpose(m);
        for (uint32_t i = 0; i < n; ++i) StoreAlpha16(rows[i] + std::size_t{s - i} * 4, m[i]);
    }

    for (uint32_t i = 0; i < n; ++i) RebuildAlphaSpan(rows[i], i == 0 ? above : rows[i - 1], residuals[i], s - i, width);
    return true;
#else
    (void)rows;
    (void)above;
    (void)residuals;
    (void)width;
    return false;
#endif
}

}  // namespace torva
