#include "png/png_filter.h"

#include <emmintrin.h>

#include <cstdlib>

namespace torva_png {
namespace {

enum : int { kNone, kSub, kUp, kAverage, kPaeth, kFilterCount };

uint8_t PaethPredictor(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) return uint8_t(a);
    return pb <= pc ? uint8_t(b) : uint8_t(c);
}

uint8_t Predict(int type, int a, int b, int c) {
    switch (type) {
    case kSub: return uint8_t(a);
    case kUp: return uint8_t(b);
    case kAverage: return uint8_t((a + b) >> 1);
    case kPaeth: return PaethPredictor(a, b, c);
    default: return 0;
    }
}

unsigned Magnitude(uint8_t v) { return v < 128 ? v : 256u - v; }

// Sixteen bytes of a row with their left (a), upper (b) and upper-left (c)
// neighbours.
struct Lanes {
    __m128i x, a, b, c;
};

Lanes Load(const uint8_t* row, const uint8_t* prior, size_t i, size_t pixelBytes) {
    auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    return Lanes{load(row + i), load(row + i - pixelBytes), load(prior + i), load(prior + i - pixelBytes)};
}

__m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

// The Paeth predictor on eight 16-bit lanes.
__m128i Paeth16(__m128i a, __m128i b, __m128i c) {
    const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
    const __m128i pa = Abs16(bc), pb = Abs16(ac), pc = Abs16(_mm_add_epi16(bc, ac));
    const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    const __m128i notB = _mm_cmpgt_epi16(pb, pc);
    const __m128i bOrC = _mm_or_si128(_mm_andnot_si128(notB, b), _mm_and_si128(notB, c));
    return _mm_or_si128(_mm_andnot_si128(notA, a), _mm_and_si128(notA, bOrC));
}

__m128i PaethPredict(const Lanes& l) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = Paeth16(_mm_unpacklo_epi8(l.a, zero), _mm_unpacklo_epi8(l.b, zero),
                                _mm_unpacklo_epi8(l.c, zero));
    const __m128i high = Paeth16(_mm_unpackhi_epi8(l.a, zero), _mm_unpackhi_epi8(l.b, zero),
                                 _mm_unpackhi_epi8(l.c, zero));
    return _mm_packus_epi16(low, high);
}

__m128i FilteredLanes(int type, const Lanes& l) {
    switch (type) {
    case kSub: return _mm_sub_epi8(l.x, l.a);
    case kUp: return _mm_sub_epi8(l.x, l.b);
    case kAverage: {
        // The rounding-up average less the dropped low bit: (a + b) >> 1.
        const __m128i odd = _mm_and_si128(_mm_xor_si128(l.a, l.b), _mm_set1_epi8(1));
        return _mm_sub_epi8(l.x, _mm_sub_epi8(_mm_avg_epu8(l.a, l.b), odd));
    }
    case kPaeth: return _mm_sub_epi8(l.x, PaethPredict(l));
    default: return l.x;
    }
}

// Sums of the magnitudes of sixteen bytes, in two 64-bit lanes.
__m128i MagnitudeSums(__m128i v) {
    const __m128i zero = _mm_setzero_si128();
    return _mm_sad_epu8(_mm_min_epu8(v, _mm_sub_epi8(zero, v)), zero);
}

uint64_t LaneTotal(__m128i sums) {
    uint64_t lanes[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), sums);
    return lanes[0] + lanes[1];
}

}  // namespace

void FilterRow(const uint8_t* row, const uint8_t* prior, size_t length, size_t pixelBytes, bool withAverage,
               uint8_t* out) {
    const size_t vectorEnd = length - length % 16;
    __m128i sums[kFilterCount];
    for (__m128i& s : sums) s = _mm_setzero_si128();
    for (size_t i = 0; i < vectorEnd; i += 16) {
        const Lanes l = Load(row, prior, i, pixelBytes);
        for (int type = 0; type < kFilterCount; ++type) {
            sums[type] = _mm_add_epi64(sums[type], MagnitudeSums(FilteredLanes(type, l)));
        }
    }
    uint64_t scores[kFilterCount];
    for (int type = 0; type < kFilterCount; ++type) {
        scores[type] = LaneTotal(sums[type]);
        for (size_t i = vectorEnd; i < length; ++i) {
            scores[type] += Magnitude(uint8_t(row[i] - Predict(type, row[i - pixelBytes], prior[i],
                                                               prior[i - pixelBytes])));
        }
    }
    int best = kNone;
    for (int type = 1; type < kFilterCount; ++type) {
        if (scores[type] < scores[best] && (withAverage || type != kAverage)) best = type;
    }

    out[0] = uint8_t(best);
    uint8_t* filtered = out + 1;
    for (size_t i = 0; i < vectorEnd; i += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(filtered + i),
                         FilteredLanes(best, Load(row, prior, i, pixelBytes)));
    }
    for (size_t i = vectorEnd; i < length; ++i) {
        filtered[i] = uint8_t(row[i] - Predict(best, row[i - pixelBytes], prior[i], prior[i - pixelBytes]));
    }
}

}  // namespace torva_png
