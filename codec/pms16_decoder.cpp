// The 16-bit PMS byte code, for pixels in 5-6-5 layout (red in bits 15-11,
// green 10-5, blue 4-0), little-endian in the stream and in memory:
//
//   00-F7 h      one pixel: the code byte low, h high
//   F8 lo hi     one pixel lo + 256 hi (low bytes F8-FF are written this way)
//   F9 n base c0..cn
//                n + 1 packed colours: the high bits of all three channels
//                come from `base`, the low bits from each c
//   FA           the pixel above and one to the right  (history[k - W + 1])
//   FB           the pixel above and one to the left   (history[k - W - 1])
//   FC n a b     the pixel pair a, b repeated n + 2 times
//   FD n f       pixel f repeated n + 3 times
//   FE n         n + 2 pixels, each the one two rows up (history[k - 2W])
//   FF n         n + 2 pixels, each the one a row up    (history[k - W])
//
// The run counts are one smaller than in the 8-bit code. Rows come top to
// bottom and are stored top-down; a row of odd width is followed by one
// padding pixel, which is skipped and never written.
#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/pms_decoder.h"
#include "codec/pms_history.h"
#include "formats/pms_codes.h"
#include "base/byte_cursor.h"
#include "base/checked_size.h"
#include "base/heap_buffer.h"

namespace torva {
namespace {

using pms_detail::CodeByteMask;
using pms_detail::CopyBlock;
using pms_detail::CopyFromEarlier;
using pms_detail::FillPattern;
using pms_detail::FirstOf16;
using pms_detail::InBlocks;
using pms_detail::kBlock;

// The part of a packed colour that comes from the base byte: red bits 15-13,
// green bits 10-9, blue bits 4-2.
inline uint16_t PackedBase(unsigned base) {
    return static_cast<uint16_t>((base & 0xE0) << 8 | (base & 0x18) << 6 | (base & 0x07) << 2);
}

// The part that comes from each following byte: red bits 12-11, green bits
// 8-5, blue bits 1-0.
inline uint16_t PackedLow(unsigned c) {
    return static_cast<uint16_t>((c & 0xC0) << 5 | (c & 0x3C) << 3 | (c & 0x03));
}

// Eight packed colours from eight low bytes, stored as 16 bytes at `to`.
inline void UnpackEight(unsigned char* to, const unsigned char* lows, uint16_t base) {
#if defined(__SSE2__)
    const __m128i c = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lows)), _mm_setzero_si128());
    const __m128i red = _mm_slli_epi16(_mm_and_si128(c, _mm_set1_epi16(0xC0)), 5);
    const __m128i green = _mm_slli_epi16(_mm_and_si128(c, _mm_set1_epi16(0x3C)), 3);
    const __m128i blue = _mm_and_si128(c, _mm_set1_epi16(0x03));
    const __m128i pixels = _mm_or_si128(_mm_or_si128(red, green), _mm_or_si128(blue, _mm_set1_epi16(static_cast<short>(base))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), pixels);
#else
    for (size_t i = 0; i < 8; ++i) torva::StoreLe16(to + 2 * i, static_cast<uint16_t>(base | PackedLow(lows[i])));
#endif
}

// The literal pixels at the start of `bytes` (up to 8 in its 16 bytes): a
// pixel is a literal when its first (low) byte is below F8.
inline size_t LiteralPixels(const unsigned char* bytes) { return FirstOf16(CodeByteMask(bytes) & 0x5555u) / 2; }

// The bulk loop, for codes far from both ends of the work: at least
// kLookAhead stream bytes remain, so operands (except the low bytes of F9,
// checked on their own) and a 16-byte look at the literals that follow need
// no check; at least kLongestRun pixels remain before the capacity and
// kLongestRun pixels' bytes rounded up to blocks before the history's end,
// so no run needs clamping and whole blocks may overrun a run. The slots a
// block writes past a run are later codes' slots, each written again before
// anything reads it (reads only go back). A literal pixel's two stream bytes
// are the pixel as the history stores it, so runs of literals are copied
// as they stand. Returns the pixels produced and sets `consumed`.
constexpr size_t kLookAhead = 16;

// Pixels of each counted code for its count byte n: F9 n + 1 packed colours,
// FC the pair n + 2 times, FD n + 3 pixels, FE and FF n + 2. Both loops count
// runs by these.
// The rules are those of formats/pms_codes.h.
using torva::pms::kRuns16;
template <size_t scale, size_t base>
constexpr size_t RunOf(size_t n) {
    return n * scale + base;
}
constexpr size_t PackedRun(size_t n) { return RunOf<kRuns16.packed.scale, kRuns16.packed.base>(n); }
constexpr size_t PairRun(size_t n) { return RunOf<kRuns16.pair.scale, kRuns16.pair.base>(n); }
constexpr size_t FillRun(size_t n) { return RunOf<kRuns16.fill.scale, kRuns16.fill.base>(n); }
constexpr size_t CopyRun(size_t n) { return RunOf<kRuns16.copy.scale, kRuns16.copy.base>(n); }
// FC n a a' b b', the longest code of fixed length.
constexpr size_t kLongestFixedCode = 6;
static_assert(kLongestFixedCode == kRuns16.pair.codeBytes && kRuns16.fill.codeBytes == 4 && kRuns16.copy.codeBytes == 2,
              "the bulk loop steps over FC, FD, FE and FF by these lengths");

// The longest run any code can give: no run in the bulk loop needs clamping.
constexpr size_t kLongestRun = 2 * 255 + 4;
static_assert(kLongestRun == std::max({PackedRun(255), PairRun(255), FillRun(255), CopyRun(255)}),
              "the bulk loop's capacity margin is the longest run of the code table");
// The look at the literals reads a whole block, and the operands of every
// code but F9 (whose length is checked on its own) are read unchecked.
static_assert(kLookAhead >= kBlock && kLookAhead >= kLongestFixedCode,
              "the bulk loop's stream margin covers a block and the longest fixed code");

size_t DecodeBulk(unsigned char* history, size_t size, size_t capacity, size_t width, const unsigned char* stream,
                  uint32_t length, size_t* consumed) {
    *consumed = 0;
    const size_t slack = InBlocks(2 * kLongestRun);
    if (capacity < kLongestRun || size < slack) return 0;
    const size_t lastK = std::min(capacity - kLongestRun, (size - slack) / 2);
    const unsigned char* p = stream;
    const unsigned char* const end = stream + length;
    // Copies go in blocks only from at least a block (8 pixels) back.
    const bool blockCopies = width >= kBlock / 2;
    size_t k = 0;
    while (k <= lastK && static_cast<size_t>(end - p) >= kLookAhead) {
        unsigned char* const at = history + 2 * k;
        const unsigned code = p[0];
        if (code < torva::pms::kFirstCode) {
            const size_t run = LiteralPixels(p);
            CopyBlock(at, p);
            k += run;
            p += 2 * run;
            continue;
        }
        if (code >= torva::pms::kCopyTwoUp) {
            const size_t count = CopyRun(p[1]);
            const size_t distance = code == torva::pms::kCopyTwoUp ? 2 * width : width;
            if (blockCopies && k >= distance) {
                const size_t back = 2 * distance;
                CopyBlock(at, at - back);
                CopyBlock(at + kBlock, at + kBlock - back);
                for (size_t done = 2 * kBlock; done < 2 * count; done += kBlock) CopyBlock(at + done, at + done - back);
            } else {
                CopyFromEarlier(history, 2 * k, 2 * count, 2 * distance);
            }
            k += count;
            p += 2;
            continue;
        }
        if (code >= torva::pms::kPairRun) {
            // FC n a b: the pair a, b, n + 2 times; FD n f: f, n + 3 times.
            const bool pair = code == torva::pms::kPairRun;
            const size_t n = p[1];
            const size_t count = pair ? PairRun(n) : FillRun(n);
            // The two pixels (f twice for FD) repeated across a 16-byte block.
            const unsigned char* second = pair ? p + 4 : p + 2;
            const uint64_t pixels = uint64_t{torva::LoadLe16(p + 2)} | uint64_t{torva::LoadLe16(second)} << 16;
            const uint64_t words = pixels * 0x0000000100000001ull;
            unsigned char pattern[kBlock];
            std::memcpy(pattern, &words, 8);
            std::memcpy(pattern + 8, &words, 8);
            std::memcpy(at, pattern, kBlock);
            std::memcpy(at + kBlock, pattern, kBlock);
            for (size_t done = 2 * kBlock; done < 2 * count; done += kBlock) std::memcpy(at + done, pattern, kBlock);
            k += count;
            p += pair ? 6 : 4;
            continue;
        }
        if (code == torva::pms::kPackedRun) {
            const size_t total = PackedRun(p[1]);
            // The low bytes are read eight at a time: all of them must be in the stream.
            if (static_cast<size_t>(end - p) < 3 + ((total + 7) & ~size_t{7})) break;
            const uint16_t base = PackedBase(p[2]);
            for (size_t i = 0; i < total; i += 8) UnpackEight(at + 2 * i, p + 3 + i, base);
            k += total;
            p += 3 + total;
            continue;
        }
        if (code == torva::pms::kEscape) {
            at[0] = p[1];
            at[1] = p[2];
            k += 1;
            p += 3;
            continue;
        }
        // FA, FB
        const size_t distance = code == torva::pms::kAboveRight ? width - 1 : width + 1;
        if (distance != 0 && k >= distance) {
            std::memcpy(at, at - 2 * distance, 2);
        } else {
            CopyFromEarlier(history, 2 * k, 2, 2 * distance);
        }
        k += 1;
        p += 1;
    }
    *consumed = static_cast<size_t>(p - stream);
    return k;
}

// Decodes into `history` (`size` bytes) until the stream ends or `capacity`
// pixels have been produced, and returns the number produced.
//
// Decoding stops at the capacity rather than discarding surplus pixels: the
// visible result is the same, and neither the history nor the destination
// is written past it.
//
// A last code whose operands lie past the end of the stream (for F9, up to
// 258 bytes) is ignored: the file has been cut short, and the bytes that
// follow the stream belong to something else (the alpha plane, or nothing).
size_t DecodeIntoHistory(unsigned char* history, size_t size, size_t capacity, size_t width,
                         const unsigned char* stream, uint32_t length) {
    // Most of a picture goes through the bulk loop; this one finishes it.
    size_t consumed = 0;
    size_t k = DecodeBulk(history, size, capacity, width, stream, length, &consumed);
    torva::ByteCursor cursor(stream, length);
    cursor.skip(consumed);
    while (k < capacity) {
        const unsigned char* code = cursor.take(1);
        if (code == nullptr) break;
        const size_t room = capacity - k;
        unsigned char* const at = history + 2 * k;
        size_t count = 0;
        switch (*code) {
            case torva::pms::kEscape: {
                const unsigned char* value = cursor.take(2);
                if (value == nullptr) return k;
                std::memcpy(at, value, 2);
                count = 1;
                break;
            }
            case torva::pms::kPackedRun: {
                const unsigned char* head = cursor.take(2);
                if (head == nullptr) return k;
                const size_t total = PackedRun(head[0]);
                const unsigned char* lows = cursor.take(total);
                if (lows == nullptr) return k;
                const uint16_t base = PackedBase(head[1]);
                count = total < room ? total : room;
                for (size_t i = 0; i < count; ++i) {
                    torva::StoreLe16(at + 2 * i, static_cast<uint16_t>(base | PackedLow(lows[i])));
                }
                break;
            }
            case torva::pms::kAboveRight:
            case torva::pms::kAboveLeft:
                count = 1;
                CopyFromEarlier(history, 2 * k, 2, 2 * (*code == torva::pms::kAboveRight ? width - 1 : width + 1));
                break;
            case torva::pms::kPairRun: {
                const unsigned char* operands = cursor.take(5);
                if (operands == nullptr) return k;
                count = PairRun(operands[0]);
                if (count > room) count = room;
                FillPattern(at, operands + 1, 4, 2 * count);
                break;
            }
            case torva::pms::kFillRun: {
                const unsigned char* operands = cursor.take(3);
                if (operands == nullptr) return k;
                count = FillRun(operands[0]);
                if (count > room) count = room;
                FillPattern(at, operands + 1, 2, 2 * count);
                break;
            }
            case torva::pms::kCopyTwoUp:
            case torva::pms::kCopyUp: {
                const unsigned char* operand = cursor.take(1);
                if (operand == nullptr) return k;
                count = CopyRun(*operand);
                if (count > room) count = room;
                CopyFromEarlier(history, 2 * k, 2 * count, 2 * (*code == torva::pms::kCopyTwoUp ? 2 * width : width));
                break;
            }
            default: {
                const unsigned char* high = cursor.take(1);
                if (high == nullptr) return k;
                at[0] = *code;
                at[1] = *high;
                count = 1;
                break;
            }
        }
        k += count;
    }
    return k;
}

}  // namespace

// The colour stream. With an alpha plane the colour stream ends where the
// alpha stream begins; an alpha offset at or below the pixel offset would make
// that length wrap around, so the stream then runs to the end of the file, as
// it does when there is no alpha plane. Never past the end of the file.
ByteSpan Pms16ColourStream(const PmsHeader& header, ByteSpan file) {
    const ByteSpan toEnd = file.from(header.pixelOffset);
    if (header.extraOffset == 0 || header.extraOffset < header.pixelOffset) return toEnd;
    return toEnd.first(header.extraOffset - header.pixelOffset);
}

DecodeResult DecodePms16(const PmsHeader& header, ByteSpan file, PixelSpan out) {
    const int32_t width = header.width;
    const int32_t height = header.height;
    if (width <= 0 || height <= 0) return Failed(DecodeStatus::Corrupt);
    if (!out.fits(2 * uint64_t(width), uint64_t(height))) return Failed(DecodeStatus::TooLarge);
    if (header.pixelOffset > file.size) return Failed(DecodeStatus::OutsideFile);
    const ByteSpan stream = Pms16ColourStream(header, file);

    // A history of stride(16) x H bytes, as a bitmap of the picture would
    // take. A size past what one call may allocate is refused.
    const uint64_t historyBytes = RowStride(uint64_t(width), 16) * uint64_t(height);
    if (!AllocationFits(historyBytes)) return Failed(DecodeStatus::TooLarge);
    // The history is not zero-filled: no slot is read before it is written.
    // Each code writes its pixels at the decoding position and reads only
    // slots before the pixel it is producing; a source before the start of
    // the history, or the pixel's own slot (distance 0, the pixel above and
    // to the right in a picture one pixel wide), gives an explicit 0. The
    // outcome is that of a zero-filled history, pixel for pixel.
    HeapBuffer history;
    if (!history.allocateUninitialised(static_cast<uint32_t>(historyBytes))) {
        return Failed(DecodeStatus::OutOfMemory);
    }

    const uint64_t capacity = uint64_t(width) * uint64_t(height);
    const size_t w = static_cast<size_t>(width);
    const size_t produced = DecodeIntoHistory(history.data(), static_cast<size_t>(historyBytes),
                                              static_cast<size_t>(capacity), w, stream.data, stream.size);

    // The history's rows go out top-down as they stand; the bytes of a row
    // past its pixels (the padding pixel of an odd width) are never written.
    pms_detail::CopyRowsOut(out.data, out.stride, history.data(), 2 * w, 2 * produced, static_cast<size_t>(height),
                            false);
    return DecodeResult{produced == capacity ? DecodeStatus::Complete : DecodeStatus::Truncated, produced};
}

}  // namespace torva
