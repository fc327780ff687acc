// Building blocks shared by the two PMS decoders. Both keep every decoded
// pixel in an unpadded history, W pixels to a row, so that "one row up" is a
// fixed distance back. These helpers produce a code's run directly inside that
// history, in bytes: the 16-bit decoder passes pixel counts times two.
#pragma once

#include <cstddef>
#include <cstring>

#include "formats/pms_codes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pms_detail {

// The decoders' bulk loops write runs in whole 16-byte blocks, which may run
// past the end of a run: those slots are not part of the picture yet, each is
// written again by a later code before anything reads it (reads only ever go
// back), and the loops take blocks only where they stay inside the history.
constexpr size_t kBlock = 16;

// Bytes that `count` rounds up to in whole blocks.
inline size_t InBlocks(size_t count) { return (count + kBlock - 1) & ~(kBlock - 1); }

// One block, read whole before it is written, so that `from` and `to` may
// overlap.
inline void CopyBlock(unsigned char* to, const unsigned char* from) {
    unsigned char block[kBlock];
    std::memcpy(block, from, kBlock);
    std::memcpy(to, block, kBlock);
}

// Bit i set for each byte bytes[i] of the 16 that is F8 or above: the bytes
// that, where a code is expected, are codes rather than literal pixels. One
// vector compare where there are vectors.
inline unsigned CodeByteMask(const unsigned char* bytes) {
#if defined(__SSE2__)
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i codes = _mm_cmpeq_epi8(_mm_max_epu8(block, _mm_set1_epi8(static_cast<char>(torva::pms::kFirstCode))), block);
    return static_cast<unsigned>(_mm_movemask_epi8(codes));
#else
    unsigned mask = 0;
    for (size_t i = 0; i < kBlock; ++i) mask |= unsigned{bytes[i] >= torva::pms::kFirstCode} << i;
    return mask;
#endif
}

// The index of the lowest set bit of `mask`, or 16 when none of its low 16
// bits is set.
inline size_t FirstOf16(unsigned mask) { return static_cast<size_t>(__builtin_ctz(mask | 0x10000u)); }

// Writes `totalBytes` bytes at `to` by repeating the `patternBytes` bytes of
// `pattern`; a run that ends inside the pattern takes only its first bytes.
// The filled part is doubled with each copy, so long fills cost a handful of
// block copies rather than one store per pixel.
inline void FillPattern(unsigned char* to, const unsigned char* pattern, size_t patternBytes, size_t totalBytes) {
    size_t done = totalBytes < patternBytes ? totalBytes : patternBytes;
    std::memcpy(to, pattern, done);
    while (done < totalBytes) {
        size_t chunk = totalBytes - done < done ? totalBytes - done : done;
        std::memcpy(to + done, to, chunk);
        done += chunk;
    }
}

// Produces `count` bytes at history[at] where each one is the byte `distance`
// before it, read at the moment it is produced: a copy that overlaps its own
// output repeats what it has just written.
//
// A source before the start of the history reads as 0, as if the history were
// preceded by zeros: the first rows of a picture may refer to the rows above
// them, and that is the value the zero-filled history would give. Nothing
// outside the history is ever read. A distance of 0 (the pixel "above and to
// the right" in a picture one pixel wide) names the slot being produced, which
// has never been written and still holds its initial 0.
inline void CopyFromEarlier(unsigned char* history, size_t at, size_t count, size_t distance) {
    if (distance == 0) {
        std::memset(history + at, 0, count);
        return;
    }
    if (at < distance) {
        size_t zeros = distance - at < count ? distance - at : count;
        std::memset(history + at, 0, zeros);
        at += zeros;
        count -= zeros;
    }
    // Chunks no longer than the distance never overlap their own source.
    while (count > 0) {
        size_t chunk = count < distance ? count : distance;
        std::memcpy(history + at, history + at - distance, chunk);
        at += chunk;
        count -= chunk;
    }
}

// Copies the first `producedBytes` bytes of the history, rows of `rowBytes`
// with no padding, into the destination's rows of `stride` bytes: history row
// r to destination row r, or to row rowCount - 1 - r when `bottomUp`. A last,
// partial row goes in as far as it reaches; the rest of the destination and
// the padding at the end of its rows keep their contents. The caller
// guarantees producedBytes <= rowCount x rowBytes.
inline void CopyRowsOut(unsigned char* destination, size_t stride, const unsigned char* history, size_t rowBytes,
                        size_t producedBytes, size_t rowCount, bool bottomUp) {
    for (size_t r = 0, done = 0; done < producedBytes; ++r, done += rowBytes) {
        const size_t row = bottomUp ? rowCount - 1 - r : r;
        const size_t bytes = producedBytes - done < rowBytes ? producedBytes - done : rowBytes;
        std::memcpy(destination + row * stride, history + done, bytes);
    }
}

}  // namespace pms_detail
