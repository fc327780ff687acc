// QNT pixel decoders.
//
// The colour stream inflates to three planes (blue, green, red), each
// 4 x ceil(w/2) x ceil(h/2) bytes. A plane is cut into 2x2 blocks, block rows
// from the top, blocks left to right, and a block stores its pixels in the
// order (x,y), (x,y+1), (x+1,y), (x+1,y+1). Bytes of a block that fall outside
// an odd-sized picture are present and ignored. Working that order out, the
// residual of pixel (x,y) of a plane sits at
//     (y / 2) x (4 x ceil(w/2)) + 2x + (y & 1),
// so one picture row reads every second byte of its block row, starting at
// byte 0 for the upper row of the block and at byte 1 for the lower one.
//
// The alpha stream is h rows of residuals, each padded to an even length.
//
// Every byte is a residual of a prediction filter: the prediction of a pixel
// is its left neighbour on the top row, the pixel above in the first column,
// and (left + above) / 2 elsewhere, the sum taken at full width; the stored
// residual is the prediction minus the value, modulo 256. The very first
// pixel is stored as it is.
//
// Rather than scattering all residuals into the bitmap and filtering there in
// a second pass, each picture row is rebuilt straight from its residuals and
// the already finished row above it. The outcome is the same, byte for byte,
// and the bitmap is written once. Rows are bottom-up in the bitmap: picture
// row y is bitmap row h - 1 - y, so the row above lies one stride further on.
#include "codec/qnt_decoder.h"


#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/byte_cursor.h"
#include "base/checked_size.h"
#include "base/reusable_buffer.h"
#include "codec/inflate.h"
#include "codec/inflate_prefix.h"
#include "codec/qnt_alpha_band.h"
#include "formats/qnt_filter.h"

namespace torva {
namespace {

// Room beyond what the planes need, so that a stream that inflates slightly
// longer than its planes still decodes.
constexpr uint64_t kScratchSlack = 4096;

// The largest width or height a bitmap of this library can describe.
constexpr int32_t kMaxDimension = 65535;

struct Geometry {
    uint32_t width;
    uint32_t height;
    uint32_t colourSize;
    uint32_t alphaSize;
};

// Width and height as the decoders accept them. The bitmap around the pixels
// is sized from 16-bit dimensions, so anything outside 1..65535 cannot match
// it and is refused before a byte is written.
DecodeStatus ReadGeometry(const QntHeader& header, Geometry* geometry) {
    if (header.width < 1 || header.height < 1) return DecodeStatus::Corrupt;
    if (header.width > kMaxDimension || header.height > kMaxDimension) return DecodeStatus::TooLarge;
    geometry->width = static_cast<uint32_t>(header.width);
    geometry->height = static_cast<uint32_t>(header.height);
    geometry->colourSize = header.colourSize;
    geometry->alphaSize = header.alphaSize;
    return DecodeStatus::Complete;
}

// Bytes of one colour plane: one 4-byte block per 2x2 pixels, odd edges
// rounded up. At most 4 x 32768 x 32768, so no overflow in 64 bits.
uint64_t PlaneBytes(const Geometry& g) {
    return uint64_t{4} * ((uint64_t{g.width} + 1) / 2) * ((uint64_t{g.height} + 1) / 2);
}


// Rebuilds bytes 0..2 of every pixel of one picture row. The residual of
// pixel x is at blue[2x], green[2x] and red[2x]. `above` is the finished row
// above in the bitmap, or null for the top row. The three channels are kept
// in separate scalars so that their independent dependency chains overlap.
template <int PixelBytes>
void RebuildColourRow(unsigned char* row, const unsigned char* above, const unsigned char* blue,
                      const unsigned char* green, const unsigned char* red, uint32_t width) {
    unsigned b, g, r;
    if (above == nullptr) {
        // Top row: the first pixel as stored, then each pixel is its left
        // neighbour minus its residual.
        b = blue[0];
        g = green[0];
        r = red[0];
        row[0] = static_cast<unsigned char>(b);
        row[1] = static_cast<unsigned char>(g);
        row[2] = static_cast<unsigned char>(r);
        for (uint32_t x = 1; x < width; ++x) {
            unsigned char* pixel = row + std::size_t{x} * PixelBytes;
            const std::size_t at = std::size_t{x} * 2;
            b = (b - blue[at]) & 0xFFu;
            g = (g - green[at]) & 0xFFu;
            r = (r - red[at]) & 0xFFu;
            pixel[0] = static_cast<unsigned char>(b);
            pixel[1] = static_cast<unsigned char>(g);
            pixel[2] = static_cast<unsigned char>(r);
        }
        return;
    }
    // Later rows: the first pixel is the one above minus its residual.
    b = (above[0] - unsigned{blue[0]}) & 0xFFu;
    g = (above[1] - unsigned{green[0]}) & 0xFFu;
    r = (above[2] - unsigned{red[0]}) & 0xFFu;
    row[0] = static_cast<unsigned char>(b);
    row[1] = static_cast<unsigned char>(g);
    row[2] = static_cast<unsigned char>(r);
    for (uint32_t x = 1; x < width; ++x) {
        const std::size_t offset = std::size_t{x} * PixelBytes;
        const std::size_t at = std::size_t{x} * 2;
        b = Unpredict(b, above[offset], blue[at]);
        g = Unpredict(g, above[offset + 1], green[at]);
        r = Unpredict(r, above[offset + 2], red[at]);
        row[offset] = static_cast<unsigned char>(b);
        row[offset + 1] = static_cast<unsigned char>(g);
        row[offset + 2] = static_cast<unsigned char>(r);
    }
}

// Rebuilds byte 3 (alpha) of every 4-byte pixel of one picture row from the
// residuals at residual[x]; `above` as for the colour.
void RebuildAlphaRow(unsigned char* row, const unsigned char* above, const unsigned char* residual,
                     uint32_t width) {
    unsigned a;
    if (above == nullptr) {
        a = residual[0];
        row[3] = static_cast<unsigned char>(a);
        for (uint32_t x = 1; x < width; ++x) {
            a = (a - residual[x]) & 0xFFu;
            row[std::size_t{x} * 4 + 3] = static_cast<unsigned char>(a);
        }
        return;
    }
    RebuildAlphaSpan(row, above, residual, 0, width);
}

// Rebuilds the alpha of two picture rows together, `upper` (row y) and
// `lower` (row y + 1), from their residual rows and the finished row `above`
// (row y - 1). As for the colour, the lower row needs the upper one only at
// the same column, so the two dependency chains run side by side.
void RebuildAlphaRowPair(unsigned char* upper, unsigned char* lower, const unsigned char* above,
                         const unsigned char* upperResidual, const unsigned char* lowerResidual, uint32_t width) {
    unsigned u = (above[3] - unsigned{upperResidual[0]}) & 0xFFu;
    unsigned l = (u - unsigned{lowerResidual[0]}) & 0xFFu;
    upper[3] = static_cast<unsigned char>(u);
    lower[3] = static_cast<unsigned char>(l);
    for (uint32_t x = 1; x < width; ++x) {
        const std::size_t offset = std::size_t{x} * 4 + 3;
        u = Unpredict(u, above[offset], upperResidual[x]);
        l = Unpredict(l, u, lowerResidual[x]);
        upper[offset] = static_cast<unsigned char>(u);
        lower[offset] = static_cast<unsigned char>(l);
    }
}

// Rebuilds the two picture rows of one block row together, `upper` (row y)
// and `lower` (row y + 1), from the block row's residuals in each plane and
// the finished row `above` (row y - 1). Pixel (x, y) of a plane sits at byte
// 2x of the block row and pixel (x, y + 1) at byte 2x + 1, so the planes are
// read front to back, two bytes a column. The lower row needs the upper one
// only at the same column, so the two rows advance side by side: six
// dependency chains (three channels, two rows) overlap instead of three.
template <int PixelBytes>
void RebuildColourRowPair(unsigned char* upper, unsigned char* lower, const unsigned char* above,
                          const unsigned char* blue, const unsigned char* green, const unsigned char* red,
                          uint32_t width) {
    // Column 0: each row is the pixel above it minus its residual.
    unsigned ub = (above[0] - unsigned{blue[0]}) & 0xFFu;
    unsigned ug = (above[1] - unsigned{green[0]}) & 0xFFu;
    unsigned ur = (above[2] - unsigned{red[0]}) & 0xFFu;
    unsigned lb = (ub - unsigned{blue[1]}) & 0xFFu;
    unsigned lg = (ug - unsigned{green[1]}) & 0xFFu;
    unsigned lr = (ur - unsigned{red[1]}) & 0xFFu;
    upper[0] = static_cast<unsigned char>(ub);
    upper[1] = static_cast<unsigned char>(ug);
    upper[2] = static_cast<unsigned char>(ur);
    lower[0] = static_cast<unsigned char>(lb);
    lower[1] = static_cast<unsigned char>(lg);
    lower[2] = static_cast<unsigned char>(lr);
    for (uint32_t x = 1; x < width; ++x) {
        const std::size_t offset = std::size_t{x} * PixelBytes;
        const std::size_t at = std::size_t{x} * 2;
        ub = Unpredict(ub, above[offset], blue[at]);
        ug = Unpredict(ug, above[offset + 1], green[at]);
        ur = Unpredict(ur, above[offset + 2], red[at]);
        lb = Unpredict(lb, ub, blue[at + 1]);
        lg = Unpredict(lg, ug, green[at + 1]);
        lr = Unpredict(lr, ur, red[at + 1]);
        upper[offset] = static_cast<unsigned char>(ub);
        upper[offset + 1] = static_cast<unsigned char>(ug);
        upper[offset + 2] = static_cast<unsigned char>(ur);
        lower[offset] = static_cast<unsigned char>(lb);
        lower[offset + 1] = static_cast<unsigned char>(lg);
        lower[offset + 2] = static_cast<unsigned char>(lr);
    }
}

#if defined(__SSE2__)
// Four picture rows at once, on a wavefront.
//
// Within a row every pixel waits for its left neighbour, so a row is one long
// dependency chain. Row y + 1 needs row y only at the same column, though, so
// if row y + i runs i columns behind row y, the four pixels of a diagonal
// depend only on the previous diagonal and can be rebuilt together. One
// 16-byte vector holds the four pixels of a diagonal, one 32-bit lane each
// (blue, green, red, then 0):
//
//     lane 3: row y,     column s
//     lane 2: row y + 1, column s - 1
//     lane 1: row y + 2, column s - 2
//     lane 0: row y + 3, column s - 3
//
// Moving the vector down by one lane puts every pixel's upper neighbour into
// its lane; the top lane takes the pixel above row y from the finished row
// above. Halving without the carry out of a byte uses
// floor((a + b) / 2) = (a & b) + ((a ^ b) >> 1), which is exact for bytes.
//
// The rows start on a block row (y even), so rows y and y + 1 read their
// residuals from one block row and rows y + 2 and y + 3 from the next. In a
// block row, pixel (x, y) sits at byte 2x and pixel (x, y + 1) at byte 2x + 1;
// lane 3 at column s and lane 2 at column s - 1 are therefore the two bytes at
// 2s - 1 and 2s, and lanes 1 and 0 the two bytes at 2s - 5 and 2s - 4 of the
// next block row: one 16-bit load per plane and block row.
class Wavefront {
public:
    Wavefront(const unsigned char* blue, const unsigned char* green, const unsigned char* red,
              uint64_t blockRowBytes)
        : blue_(blue), green_(green), red_(red), next_(blockRowBytes) {}

    // The residuals of diagonal s, when all four of its pixels lie inside
    // the picture (3 <= s <= w - 1: lane 0 at column s - 3 >= 0, lane 3 at
    // column s <= w - 1). RebuildFourRows calls it for 4 <= s <= w - 2 only,
    // where column 0 and the last column, which are careful, stay out.
    __m128i residuals(std::size_t s) const {
        const std::size_t upper = 2 * s - 1;
        const std::size_t lower = next_ + 2 * s - 5;
        __m128i v = _mm_cvtsi32_si128(Load16(blue_ + lower));
        v = _mm_insert_epi16(v, Load16(blue_ + upper), 1);
        v = _mm_insert_epi16(v, Load16(green_ + lower), 2);
        v = _mm_insert_epi16(v, Load16(green_ + upper), 3);
        v = _mm_insert_epi16(v, Load16(red_ + lower), 4);
        v = _mm_insert_epi16(v, Load16(red_ + upper), 5);
        return Interleave(v);
    }

    // The residuals of the eight diagonals s .. s + 7 (4 <= s, s + 7 <= w - 2),
    // into `out`. From each plane one 16-byte load per block row: in the
    // upper block row, from byte 2s - 1, byte pair k holds lane 2 then lane 3
    // of diagonal s + k; in the lower one, from byte 2s - 5, lanes 0 and 1.
    // Interleaving the planes' bytes, then the two block rows' pairs, gives
    // the eight vectors in 24 unpacks, where gathering each diagonal's six
    // pairs on its own takes eight inserts and unpacks a diagonal.
    void residuals8(std::size_t s, __m128i out[8]) const {
        __m128i lower[4], upper[4];
        Pixels(next_ + 2 * s - 5, lower);
        Pixels(2 * s - 1, upper);
        for (int i = 0; i < 4; ++i) {
            out[2 * i] = _mm_unpacklo_epi64(lower[i], upper[i]);
            out[2 * i + 1] = _mm_unpackhi_epi64(lower[i], upper[i]);
        }
    }

    // The same for any diagonal, lanes outside the picture read as 0 and no
    // byte outside the block rows is read.
    __m128i residualsAt(std::ptrdiff_t s, uint32_t width) const {
        const unsigned char* planes[3] = {blue_, green_, red_};
        unsigned char bytes[16] = {};
        for (int i = 0; i < 4; ++i) {
            const std::ptrdiff_t x = s - i;
            if (x < 0 || x >= std::ptrdiff_t(width)) continue;
            const std::size_t at = (i >= 2 ? next_ : 0) + 2 * std::size_t(x) + (i & 1);
            for (int c = 0; c < 3; ++c) bytes[(3 - i) * 4 + c] = planes[c][at];
        }
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    }

private:
    // The 16 bytes from `at` of each plane, as 4-byte pixels (blue, green,
    // red, 0): pixels 0-3 in quad[0], 4-7 in quad[1] and so on.
    void Pixels(std::size_t at, __m128i quad[4]) const {
        const __m128i zero = _mm_setzero_si128();
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blue_ + at));
        const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(green_ + at));
        const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(red_ + at));
        const __m128i blueGreenLow = _mm_unpacklo_epi8(b, g);
        const __m128i blueGreenHigh = _mm_unpackhi_epi8(b, g);
        const __m128i redLow = _mm_unpacklo_epi8(r, zero);
        const __m128i redHigh = _mm_unpackhi_epi8(r, zero);
        quad[0] = _mm_unpacklo_epi16(blueGreenLow, redLow);
        quad[1] = _mm_unpackhi_epi16(blueGreenLow, redLow);
        quad[2] = _mm_unpacklo_epi16(blueGreenHigh, redHigh);
        quad[3] = _mm_unpackhi_epi16(blueGreenHigh, redHigh);
    }

    static int Load16(const unsigned char* p) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }

    // From the plane bytes (blue lanes 0-3, green 0-3, red 0-3, 0 x 4) to
    // four pixels of blue, green, red, 0.
    static __m128i Interleave(__m128i v) {
        const __m128i blueGreen = _mm_unpacklo_epi8(v, _mm_srli_si128(v, 4));
        const __m128i redZero = _mm_unpacklo_epi8(_mm_srli_si128(v, 8), _mm_setzero_si128());
        return _mm_unpacklo_epi16(blueGreen, redZero);
    }

    const unsigned char* blue_;
    const unsigned char* green_;
    const unsigned char* red_;
    std::size_t next_;
};

// Byte-wise floor((left + above) / 2) - residual. The rounding average
// rounds up, one too many exactly when left + above is odd.
inline __m128i UnpredictLanes(__m128i left, __m128i above, __m128i residual) {
    const __m128i odd = _mm_and_si128(_mm_xor_si128(left, above), _mm_set1_epi8(1));
    return _mm_sub_epi8(_mm_sub_epi8(_mm_avg_epu8(left, above), odd), residual);
}

// The pixel above lane 3 (row y at column s) in lane 3, lanes 0 to 2 moved
// down by one from `v`: the upper neighbours of the next diagonal's pixels.
inline __m128i UpperNeighbours(__m128i v, const unsigned char* top) {
    uint32_t pixel;
    std::memcpy(&pixel, top, 4);
    return _mm_or_si128(_mm_srli_si128(v, 4), _mm_slli_si128(_mm_cvtsi32_si128(int(pixel)), 12));
}

inline uint32_t Lane(__m128i v, int lane) {
    switch (lane) {
        case 0: return static_cast<uint32_t>(_mm_cvtsi128_si32(v));
        case 1: return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
        case 2: return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 8)));
        default: return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 12)));
    }
}

inline void Store32(unsigned char* p, uint32_t v) { std::memcpy(p, &v, 4); }

// Four picture rows y .. y + 3 of the wavefront (y even): `rows[i]` is row
// y + i in the bitmap, `above` row y - 1, and `planes` reads block rows y / 2
// and y / 2 + 1.
struct RowGroup {
    unsigned char* rows[4];
    const unsigned char* above;
    Wavefront planes;
};

// One diagonal s of a group where some lanes may lie outside the picture:
// exact loads, column 0 taken from the pixel above alone, and 3-byte stores
// of the lanes inside. Takes and returns the group's previous diagonal.
template <int PixelBytes>
__m128i CarefulStep(const RowGroup& group, __m128i v, std::ptrdiff_t s, uint32_t width) {
    const std::ptrdiff_t w = width;
    uint32_t top = 0;
    if (s < w) {
        const unsigned char* p = group.above + std::size_t(s) * PixelBytes;
        top = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
    }
    const __m128i up = _mm_or_si128(_mm_srli_si128(v, 4), _mm_slli_si128(_mm_cvtsi32_si128(int(top)), 12));
    // A row starting at column 0 has no left neighbour: its prediction is
    // the pixel above, which is what halving above + above gives.
    if (s >= 0 && s < 4) {
        alignas(16) uint32_t mask[4] = {0, 0, 0, 0};
        mask[3 - s] = 0xFFFFFFFFu;
        const __m128i m = _mm_load_si128(reinterpret_cast<const __m128i*>(mask));
        v = _mm_or_si128(_mm_andnot_si128(m, v), _mm_and_si128(m, up));
    }
    v = UnpredictLanes(v, up, group.planes.residualsAt(s, width));
    for (int i = 0; i < 4; ++i) {
        const std::ptrdiff_t x = s - i;
        if (x < 0 || x >= w) continue;
        const uint32_t pixel = Lane(v, 3 - i);
        unsigned char* p = group.rows[i] + std::size_t(x) * PixelBytes;
        p[0] = static_cast<unsigned char>(pixel);
        p[1] = static_cast<unsigned char>(pixel >> 8);
        p[2] = static_cast<unsigned char>(pixel >> 16);
    }
    return v;
}

// The pixels of diagonals d[0] .. d[3] as four pixels of each row, 16 bytes
// a row: `lane[j] + at` is where lane j's pixel of d[0] goes.
inline void StoreFourDiagonals(unsigned char* const lane[4], std::size_t at, const __m128i d[4]) {
    const __m128i lanes01 = _mm_unpacklo_epi32(d[0], d[1]);
    const __m128i lanes23 = _mm_unpackhi_epi32(d[0], d[1]);
    const __m128i lanes01Next = _mm_unpacklo_epi32(d[2], d[3]);
    const __m128i lanes23Next = _mm_unpackhi_epi32(d[2], d[3]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lane[0] + at), _mm_unpacklo_epi64(lanes01, lanes01Next));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lane[1] + at), _mm_unpackhi_epi64(lanes01, lanes01Next));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lane[2] + at), _mm_unpacklo_epi64(lanes23, lanes23Next));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lane[3] + at), _mm_unpackhi_epi64(lanes23, lanes23Next));
}

// Each lane's pixel with a 4-byte store; a 3-byte pixel's fourth byte is the
// next pixel's blue, which the next diagonal writes.
inline void StoreDiagonal(unsigned char* const lane[4], std::size_t at, __m128i v) {
    Store32(lane[0] + at, Lane(v, 0));
    Store32(lane[1] + at, Lane(v, 1));
    Store32(lane[2] + at, Lane(v, 2));
    Store32(lane[3] + at, Lane(v, 3));
}

// Rebuilds the four picture rows of `group`.
//
// Diagonals where some lanes lie outside the picture (the first four and the
// last four) go through the careful step. In between all loads and stores are
// whole. 4-byte pixels take their residuals eight diagonals at a time and go
// out four diagonals at a time, 16 bytes a row. 3-byte pixels gather each
// diagonal's residuals on their own (eight at a time measured no faster for
// them) and go out one diagonal at a time, 4 bytes a pixel, which the last
// column, whose fourth byte would leave the row, never takes.
template <int PixelBytes>
void RebuildFourRows(const RowGroup& group, uint32_t width) {
    const std::ptrdiff_t w = width;
    __m128i v = _mm_setzero_si128();
    const std::ptrdiff_t firstFast = 4;
    const std::ptrdiff_t endFast = w - 1;
    std::ptrdiff_t s = 0;
    for (; s < firstFast && s < w + 3; ++s) v = CarefulStep<PixelBytes>(group, v, s, width);

    // lane[j] + s x PixelBytes: where lane j of diagonal s goes (row 3 - j of
    // the group, column s - (3 - j)).
    unsigned char* lane[4];
    for (int j = 0; j < 4; ++j) lane[j] = group.rows[3 - j] - (3 - j) * PixelBytes;
    for (; PixelBytes == 4 && s + 8 <= endFast; s += 8) {
        __m128i d[8];
        group.planes.residuals8(std::size_t(s), d);
        for (int i = 0; i < 8; ++i) {
            v = UnpredictLanes(v, UpperNeighbours(v, group.above + std::size_t(s + i) * PixelBytes), d[i]);
            d[i] = v;
        }
        StoreFourDiagonals(lane, std::size_t(s) * PixelBytes, d);
        StoreFourDiagonals(lane, std::size_t(s + 4) * PixelBytes, d + 4);
    }
    for (; s < endFast; ++s) {
        const std::size_t at = std::size_t(s) * PixelBytes;
        v = UnpredictLanes(v, UpperNeighbours(v, group.above + at), group.planes.residuals(std::size_t(s)));
        StoreDiagonal(lane, at, v);
    }
    for (; s < w + 3; ++s) v = CarefulStep<PixelBytes>(group, v, s, width);
}
#endif

// The three colour channels of every pixel, from the inflated planes at the
// start of `scratch` (which holds at least 3 x PlaneBytes bytes). The first
// block row has no row above it and goes row by row; later block rows go four
// picture rows at a time on the wavefront where the processor has 16-byte
// vectors, and as pairs otherwise and for what is left at the bottom.
template <int PixelBytes>
void RebuildColour(unsigned char* pixels, uint64_t stride, const unsigned char* scratch, const Geometry& g,
                   bool wavefront) {
    const uint64_t plane = PlaneBytes(g);
    const uint64_t blockRowBytes = uint64_t{4} * ((uint64_t{g.width} + 1) / 2);
    const unsigned char* blue = scratch;
    const unsigned char* green = scratch + plane;
    const unsigned char* red = scratch + 2 * plane;
    auto rowOf = [&](uint32_t y) { return pixels + (uint64_t{g.height} - 1 - y) * stride; };

    RebuildColourRow<PixelBytes>(rowOf(0), nullptr, blue, green, red, g.width);
    if (g.height > 1) RebuildColourRow<PixelBytes>(rowOf(1), rowOf(0), blue + 1, green + 1, red + 1, g.width);
    uint32_t y = 2;
#if defined(__SSE2__)
    if (wavefront) {
        auto groupOf = [&](uint32_t first) {
            const uint64_t start = uint64_t{first / 2} * blockRowBytes;
            return RowGroup{{rowOf(first), rowOf(first + 1), rowOf(first + 2), rowOf(first + 3)},
                            rowOf(first - 1),
                            Wavefront(blue + start, green + start, red + start, blockRowBytes)};
        };
        for (; uint64_t{y} + 3 < g.height; y += 4) RebuildFourRows<PixelBytes>(groupOf(y), g.width);
    }
#else
    (void)wavefront;
#endif
    for (; y < g.height; y += 2) {
        const uint64_t start = uint64_t{y / 2} * blockRowBytes;
        if (y + 1 < g.height) {
            RebuildColourRowPair<PixelBytes>(rowOf(y), rowOf(y + 1), rowOf(y - 1), blue + start, green + start,
                                             red + start, g.width);
        } else {
            RebuildColourRow<PixelBytes>(rowOf(y), rowOf(y - 1), blue + start, green + start, red + start,
                                         g.width);
        }
    }
}

// The alpha channel, byte 3 of every 4-byte pixel, from `scratch` read as h
// rows of w residuals, each row followed by one skipped byte when w is odd.
// The top row goes alone, the rest sixteen at a time where the processor has
// 16-byte vectors, else (and for what is left at the bottom) two at a time,
// a last odd one alone.
void RebuildAlpha(unsigned char* pixels, uint64_t stride, const unsigned char* scratch, const Geometry& g,
                  bool wavefront) {
    const uint64_t pitch = (uint64_t{g.width} + 1) & ~uint64_t{1};
    auto rowOf = [&](uint32_t y) { return pixels + (uint64_t{g.height} - 1 - y) * stride; };
    auto residualsOf = [&](uint32_t y) { return scratch + uint64_t{y} * pitch; };
    RebuildAlphaRow(rowOf(0), nullptr, residualsOf(0), g.width);
    uint32_t y = 1;
    for (; wavefront && uint64_t{y} + kAlphaBandRows <= g.height; y += kAlphaBandRows) {
        unsigned char* rows[kAlphaBandRows];
        const unsigned char* residuals[kAlphaBandRows];
        for (int i = 0; i < kAlphaBandRows; ++i) {
            rows[i] = rowOf(y + i);
            residuals[i] = residualsOf(y + i);
        }
        if (!RebuildAlphaBand(rows, rowOf(y - 1), residuals, g.width)) break;
    }
    for (; uint64_t{y} + 1 < g.height; y += 2) {
        RebuildAlphaRowPair(rowOf(y), rowOf(y + 1), rowOf(y - 1), residualsOf(y), residualsOf(y + 1), g.width);
    }
    if (y < g.height) RebuildAlphaRow(rowOf(y), rowOf(y - 1), residualsOf(y), g.width);
}

// The pixels, counted in picture order (rows from the top, each left to
// right) up to the first one whose residuals did not all come from an
// inflated colour stream of `produced` bytes. Through the prediction a pixel
// depends on every pixel above and to the left of it, whose residuals come
// before its own in each plane; the planes follow each other, so the last
// (red) plane decides. It fills block row by block row, and in a block row
// pixel (x, y) sits at byte 2x + (y & 1): the upper row of a cut block row
// has its first ceil(rest / 2) pixels, the lower one floor(rest / 2).
uint64_t ColourPixelsProduced(const Geometry& g, uint64_t produced) {
    const uint64_t plane = PlaneBytes(g);
    const uint64_t all = uint64_t{g.width} * g.height;
    if (produced >= 3 * plane) return all;
    if (produced <= 2 * plane) return 0;
    const uint64_t blockRowBytes = uint64_t{4} * ((uint64_t{g.width} + 1) / 2);
    const uint64_t red = produced - 2 * plane;
    const uint64_t upperRow = 2 * (red / blockRowBytes);  // below h: red is less than a plane
    const uint64_t rest = red % blockRowBytes;
    const uint64_t upper = std::min<uint64_t>(g.width, (rest + 1) / 2);
    uint64_t pixels = upperRow * g.width + upper;
    if (upper == g.width && upperRow + 1 < g.height) pixels += std::min<uint64_t>(g.width, rest / 2);
    return std::min(pixels, all);
}

// The same for an alpha stream that inflated to `produced` bytes: rows of
// the even pitch, pixel (x, y) at y x pitch + x.
uint64_t AlphaPixelsProduced(const Geometry& g, uint64_t produced) {
    const uint64_t pitch = (uint64_t{g.width} + 1) & ~uint64_t{1};
    const uint64_t rows = produced / pitch;
    if (rows >= g.height) return uint64_t{g.width} * g.height;
    return rows * g.width + std::min<uint64_t>(g.width, produced % pitch);
}

// Allocates the scratch buffer of `capacity` bytes and inflates the colour
// stream into it. Anything but Complete means nothing may be written to the
// pixels: the capacity is beyond what one call may take, the heap refuses,
// or the stream does not inflate within the capacity.
//
// On success every byte of the scratch is defined: the stream's output, then
// zeros up to the capacity. That is the same as zero-filling the whole buffer
// before inflating, without writing the part inflate overwrites anyway. After
// a failure nothing reads the scratch, so its contents do not matter.
DecodeStatus InflateColour(ReusableBuffer* scratch, uint64_t capacity, const unsigned char* colourData,
                           const Geometry& g, uint64_t* produced) {
    if (!AllocationFits(capacity)) return DecodeStatus::TooLarge;
    if (!scratch->allocateUninitialised(static_cast<uint32_t>(capacity))) return DecodeStatus::OutOfMemory;
    *produced = capacity;
    if (!InflateStream(scratch->data(), produced, colourData, g.colourSize)) return DecodeStatus::Corrupt;
    std::memset(scratch->data() + *produced, 0, static_cast<std::size_t>(capacity - *produced));
    return DecodeStatus::Complete;
}

// Alpha rows past the end of a short alpha stream read what the colour stream
// left in the scratch. zlib writes nothing past what it produces, but the
// faster engine behind InflateStream may leave scratch bytes just past its
// output. For such a stream the scratch is inflated again from the colour
// stream and the alpha inflated by zlib alone, so those rows read what zlib
// would leave there.
bool InflateShortAlphaExactly(unsigned char* scratch, uint64_t capacity, const unsigned char* colourData,
                              const Geometry& g, uint64_t* produced) {
    *produced = capacity;
    if (!InflateStream(scratch, produced, colourData, g.colourSize)) return false;
    std::memset(scratch + *produced, 0, static_cast<std::size_t>(capacity - *produced));
    return InflateStreamWritingNoFurther(scratch, produced, colourData + g.colourSize, g.alphaSize);
}

// The checks both decoders make before they decode: geometry, the output's
// room, and the compressed streams inside the file. Complete when decoding
// may go on.
DecodeStatus Prepare(const QntHeader& header, ByteSpan file, const PixelSpan& out, uint32_t pixelBytes,
                     Geometry* g) {
    const DecodeStatus geometry = ReadGeometry(header, g);
    if (geometry != DecodeStatus::Complete) return geometry;
    const uint64_t rowBytes = uint64_t{pixelBytes} * g->width;
    if (!out.fits(rowBytes, g->height)) return DecodeStatus::TooLarge;
    if (header.colourOffset > file.size) return DecodeStatus::OutsideFile;
    // Both compressed streams, one after the other, must lie inside the file:
    // a file cut inside either is not decoded at all.
    if (!file.holds(header.colourOffset, uint64_t{g->colourSize} + g->alphaSize)) return DecodeStatus::Truncated;
    return DecodeStatus::Complete;
}

DecodeResult DecodeQnt24With(const QntHeader& header, ByteSpan file, PixelSpan out, bool wavefront) {
    Geometry g;
    const DecodeStatus ready = Prepare(header, file, out, 3, &g);
    if (ready != DecodeStatus::Complete) return Failed(ready);
    const unsigned char* colourData = file.data + header.colourOffset;
    // The scratch must hold the 3 planes the rows are rebuilt from. For odd
    // sizes above 820 pixels the planes (12 x ceil(w/2) x ceil(h/2) bytes) are
    // larger than the bitmap's stride x h (1025 x 769, for one), so the
    // capacity is whichever of the two is larger, plus the slack: every valid
    // picture inflates in full, and the rows never read past the scratch.
    const uint64_t stride = RowStride(g.width, 24);
    const uint64_t capacity = std::max(stride * g.height, 3 * PlaneBytes(g)) + kScratchSlack;
    ReusableBuffer scratch;
    uint64_t produced = 0;
    const DecodeStatus inflated = InflateColour(&scratch, capacity, colourData, g, &produced);
    if (inflated != DecodeStatus::Complete) return Failed(inflated);
    // A stream shorter than the planes leaves zero residuals (the zero fill).
    RebuildColour<3>(out.data, out.stride, scratch.data(), g, wavefront);
    const uint64_t pixels = ColourPixelsProduced(g, produced);
    const bool whole = pixels == uint64_t{g.width} * g.height;
    return DecodeResult{whole ? DecodeStatus::Complete : DecodeStatus::Truncated, pixels};
}

DecodeResult DecodeQnt32With(const QntHeader& header, ByteSpan file, PixelSpan out, bool wavefront) {
    Geometry g;
    const DecodeStatus ready = Prepare(header, file, out, 4, &g);
    if (ready != DecodeStatus::Complete) return Failed(ready);
    const unsigned char* colourData = file.data + header.colourOffset;
    // 3 x (w+1) x (h+1) always holds the three planes and the alpha rows
    // (h x (w rounded up to even) bytes).
    const uint64_t capacity = uint64_t{3} * (uint64_t{g.width} + 1) * (uint64_t{g.height} + 1) + kScratchSlack;
    ReusableBuffer scratch;
    uint64_t produced = 0;
    const DecodeStatus inflated = InflateColour(&scratch, capacity, colourData, g, &produced);
    if (inflated != DecodeStatus::Complete) return Failed(inflated);
    RebuildColour<4>(out.data, out.stride, scratch.data(), g, wavefront);
    const uint64_t colourPixels = ColourPixelsProduced(g, produced);

    // The alpha stream goes into the same scratch, which is not cleared, and
    // is offered only as many bytes as the colour stream produced: alpha
    // residuals it does not produce are whatever the scratch still holds
    // there, and an alpha stream longer than the colour stream fails. That is
    // the format's rule, kept as it is: a valid alpha stream (h rows of w
    // rounded up to even) is never longer than its colour stream, so valid
    // pictures are unaffected, and every read stays inside the scratch.
    if (!InflateStream(scratch.data(), &produced, colourData + g.colourSize, g.alphaSize)) {
        return DecodeResult{DecodeStatus::Corrupt, colourPixels};
    }
    const uint64_t pitch = (uint64_t{g.width} + 1) & ~uint64_t{1};
    if (produced < pitch * g.height && !InflateShortAlphaExactly(scratch.data(), capacity, colourData, g, &produced)) {
        return DecodeResult{DecodeStatus::Corrupt, colourPixels};
    }
    RebuildAlpha(out.data, out.stride, scratch.data(), g, wavefront);
    if (colourPixels != uint64_t{g.width} * g.height) return DecodeResult{DecodeStatus::Truncated, colourPixels};
    // Alpha rows the stream did not reach make the picture incomplete.
    const uint64_t alphaRows = std::min<uint64_t>(g.height, produced / pitch);
    if (alphaRows < g.height) return DecodeResult{DecodeStatus::Truncated, AlphaPixelsProduced(g, produced)};
    return DecodeResult{DecodeStatus::Complete, colourPixels};
}

// Recovery, for the C interface: what arrived of streams that end early.
// The decoders above run first wherever both streams lie inside the file, so
// a whole picture takes exactly their path; only a picture they refuse as
// Corrupt, or one whose streams run past the file, comes here.

// What of each compressed stream the file holds.
struct StreamsInFile {
    const unsigned char* colour;
    uint32_t colourBytes;
    const unsigned char* alpha;
    uint32_t alphaBytes;
    bool cut;  // the file ends inside the declared streams
};

StreamsInFile FindStreams(const QntHeader& header, ByteSpan file) {
    const ByteSpan colour = file.from(header.colourOffset).first(header.colourSize);
    const ByteSpan alpha = file.from(header.colourOffset).from(colour.size).first(header.alphaSize);
    const bool cut = colour.size < header.colourSize || alpha.size < header.alphaSize;
    return StreamsInFile{colour.data, colour.size, alpha.data, alpha.size, cut};
}

// The checks of Prepare, but streams that run past the file are taken as far
// as they go.
DecodeStatus PrepareRecovery(const QntHeader& header, ByteSpan file, const PixelSpan& out, uint32_t pixelBytes,
                             Geometry* g) {
    const DecodeStatus geometry = ReadGeometry(header, g);
    if (geometry != DecodeStatus::Complete) return geometry;
    if (!out.fits(uint64_t{pixelBytes} * g->width, g->height)) return DecodeStatus::TooLarge;
    if (header.colourOffset > file.size) return DecodeStatus::OutsideFile;
    return DecodeStatus::Complete;
}

// Inflates what arrived of a stream into `scratch`, offering it `capacity`
// bytes, and zeros the scratch after its output up to `zeroTo` (which the
// scratch holds). Complete when the stream ended whole,
// Truncated when it stops early; Corrupt or OutOfMemory otherwise.
DecodeStatus InflateWhatArrived(unsigned char* scratch, uint64_t capacity, uint64_t zeroTo,
                                const unsigned char* stream, uint32_t streamBytes, uint64_t* produced) {
    *produced = capacity;
    const PrefixInflate inflated = InflatePrefix(scratch, produced, stream, streamBytes);
    if (inflated == PrefixInflate::Corrupt) return DecodeStatus::Corrupt;
    if (inflated == PrefixInflate::OutOfMemory) return DecodeStatus::OutOfMemory;
    if (*produced < zeroTo) std::memset(scratch + *produced, 0, static_cast<std::size_t>(zeroTo - *produced));
    return inflated == PrefixInflate::Whole ? DecodeStatus::Complete : DecodeStatus::Truncated;
}

// The colour planes from what arrived of the colour stream, rebuilt into
// `out`; every residual that did not arrive counts as zero.
DecodeStatus RecoverColour(ReusableBuffer* scratch, uint64_t capacity, const StreamsInFile& streams,
                           uint64_t* produced) {
    if (!AllocationFits(capacity)) return DecodeStatus::TooLarge;
    if (!scratch->allocateUninitialised(static_cast<uint32_t>(capacity))) return DecodeStatus::OutOfMemory;
    return InflateWhatArrived(scratch->data(), capacity, capacity, streams.colour, streams.colourBytes, produced);
}

DecodeResult RecoverQnt24(const QntHeader& header, ByteSpan file, PixelSpan out) {
    Geometry g;
    const DecodeStatus ready = PrepareRecovery(header, file, out, 3, &g);
    if (ready != DecodeStatus::Complete) return Failed(ready);
    const StreamsInFile streams = FindStreams(header, file);
    const uint64_t capacity = std::max(RowStride(g.width, 24) * g.height, 3 * PlaneBytes(g)) + kScratchSlack;
    ReusableBuffer scratch;
    uint64_t produced = 0;
    const DecodeStatus colour = RecoverColour(&scratch, capacity, streams, &produced);
    if (colour != DecodeStatus::Complete && colour != DecodeStatus::Truncated) return Failed(colour);
    RebuildColour<3>(out.data, out.stride, scratch.data(), g, true);
    const uint64_t pixels = ColourPixelsProduced(g, produced);
    const bool whole = colour == DecodeStatus::Complete && !streams.cut && pixels == uint64_t{g.width} * g.height;
    return DecodeResult{whole ? DecodeStatus::Complete : DecodeStatus::Truncated, pixels};
}

DecodeResult RecoverQnt32(const QntHeader& header, ByteSpan file, PixelSpan out) {
    Geometry g;
    const DecodeStatus ready = PrepareRecovery(header, file, out, 4, &g);
    if (ready != DecodeStatus::Complete) return Failed(ready);
    const StreamsInFile streams = FindStreams(header, file);
    const uint64_t capacity = uint64_t{3} * (uint64_t{g.width} + 1) * (uint64_t{g.height} + 1) + kScratchSlack;
    ReusableBuffer scratch;
    uint64_t produced = 0;
    const DecodeStatus colour = RecoverColour(&scratch, capacity, streams, &produced);
    if (colour != DecodeStatus::Complete && colour != DecodeStatus::Truncated) return Failed(colour);
    RebuildColour<4>(out.data, out.stride, scratch.data(), g, true);
    const uint64_t colourPixels = ColourPixelsProduced(g, produced);

    // The alpha stream is offered as many bytes as the colour stream
    // produced, as in DecodeQnt32. Its residuals that did not arrive count as
    // zero, like the colour's (a whole alpha stream that is merely short keeps
    // the format's rule and never comes here: DecodeQnt32 takes it).
    const uint64_t pitch = (uint64_t{g.width} + 1) & ~uint64_t{1};
    uint64_t alphaProduced = produced;
    const DecodeStatus alpha = InflateWhatArrived(scratch.data(), produced, pitch * g.height, streams.alpha,
                                                  streams.alphaBytes, &alphaProduced);
    if (alpha != DecodeStatus::Complete && alpha != DecodeStatus::Truncated) return DecodeResult{alpha, colourPixels};
    RebuildAlpha(out.data, out.stride, scratch.data(), g, true);
    const uint64_t pixels = std::min(colourPixels, AlphaPixelsProduced(g, alphaProduced));
    const bool whole = colour == DecodeStatus::Complete && alpha == DecodeStatus::Complete && !streams.cut &&
                       pixels == uint64_t{g.width} * g.height;
    return DecodeResult{whole ? DecodeStatus::Complete : DecodeStatus::Truncated, pixels};
}

// Whether the one-call decoders may be tried first: both streams inside the
// file (else they decode nothing).
bool StreamsInside(const QntHeader& header, ByteSpan file) {
    return header.colourOffset <= file.size &&
           file.holds(header.colourOffset, uint64_t{header.colourSize} + header.alphaSize);
}

}  // namespace

DecodeResult DecodeQnt24(const QntHeader& header, ByteSpan file, PixelSpan out) {
    return DecodeQnt24With(header, file, out, true);
}

DecodeResult DecodeQnt32(const QntHeader& header, ByteSpan file, PixelSpan out) {
    return DecodeQnt32With(header, file, out, true);
}

DecodeResult DecodeQnt24Recovering(const QntHeader& header, ByteSpan file, PixelSpan out) {
    if (StreamsInside(header, file)) {
        const DecodeResult whole = DecodeQnt24(header, file, out);
        if (whole.status != DecodeStatus::Corrupt) return whole;
    }
    return RecoverQnt24(header, file, out);
}

DecodeResult DecodeQnt32Recovering(const QntHeader& header, ByteSpan file, PixelSpan out) {
    if (StreamsInside(header, file)) {
        const DecodeResult whole = DecodeQnt32(header, file, out);
        if (whole.status != DecodeStatus::Corrupt) return whole;
    }
    return RecoverQnt32(header, file, out);
}

namespace qnt_detail {

DecodeResult DecodeQnt24RowByRow(const QntHeader& header, ByteSpan file, PixelSpan out) {
    return DecodeQnt24With(header, file, out, false);
}

DecodeResult DecodeQnt32RowByRow(const QntHeader& header, ByteSpan file, PixelSpan out) {
    return DecodeQnt32With(header, file, out, false);
}

void RebuildPixels(PixelSpan out, uint32_t width, uint32_t height, const unsigned char* planes,
                   const unsigned char* alphaRows) {
    const Geometry g{width, height, 0, 0};
    if (alphaRows == nullptr) {
        RebuildColour<3>(out.data, out.stride, planes, g, true);
        return;
    }
    RebuildColour<4>(out.data, out.stride, planes, g, true);
    RebuildAlpha(out.data, out.stride, alphaRows, g, true);
}

}  // namespace qnt_detail

}  // namespace torva
