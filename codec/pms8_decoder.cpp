// The 8-bit PMS byte code. Each code is a code byte and up to three operands:
//
//   00-F7        one pixel, the code byte itself
//   F8 v         one pixel v (how the values F8-FF are written)
//   F9           no pixel at all
//   FA           the pixel above and one to the right  (history[k - W + 1])
//   FB           the pixel above and one to the left   (history[k - W - 1])
//   FC n a b     the pair a, b repeated n + 3 times
//   FD n c       c repeated n + 4 times
//   FE n         n + 3 pixels, each the one two rows up (history[k - 2W])
//   FF n         n + 3 pixels, each the one a row up    (history[k - W])
//
// Rows come top to bottom in the stream and go into the output span with the
// picture's top row last; the bytes of a row past its W pixels are never
// written. The same routine decodes the 8-bit alpha plane of a 16-bit
// picture: the same header, PmsStream::Alpha, which starts the stream at the
// alpha offset.
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
using pms_detail::kBlock;

// The bulk loop, for codes far from both ends of the work: at least
// kLookAhead stream bytes remain, so a code's operands and a 16-byte look at
// the literals that follow it need no check; at least kLongestRun pixels
// remain before the capacity, so no run needs clamping; and at least
// kPatternAhead bytes and a block remain before the history's end, so whole
// blocks may overrun a run and a fill's pattern can be parked past it. In a
// busy picture a code gives about five pixels and the cost is in the
// branches: every fill and copy of up to 48 pixels is written as three
// blocks with no loop, fills and copies share one path, and a literal run is
// found by one vector compare instead of a byte loop. Returns the pixels
// produced and sets `consumed` to the stream bytes used; the exact loop goes
// on from there.
constexpr size_t kLookAhead = 16;

// The run codes FC, FD, FE and FF in turn (formats/pms_codes.h): pixels
// n * scale + base, and the code's bytes in all. Both loops count runs by
// this table.
using torva::pms::kRuns8;
constexpr size_t kRunScale[4] = {kRuns8.pair.scale, kRuns8.fill.scale, kRuns8.copy.scale, kRuns8.copy.scale};
constexpr size_t kRunBase[4] = {kRuns8.pair.base, kRuns8.fill.base, kRuns8.copy.base, kRuns8.copy.base};
constexpr size_t kCodeBytes[4] = {kRuns8.pair.codeBytes, kRuns8.fill.codeBytes, kRuns8.copy.codeBytes,
                                  kRuns8.copy.codeBytes};

constexpr size_t RunLength(unsigned code, size_t n) {
    return n * kRunScale[code - torva::pms::kPairRun] + kRunBase[code - torva::pms::kPairRun];
}

constexpr size_t LongestRunInTable() {
    size_t longest = 0;
    for (unsigned code = torva::pms::kPairRun; code <= torva::pms::kCopyUp; ++code) {
        longest = std::max(longest, RunLength(code, 255));
    }
    return longest;
}

constexpr size_t LongestCodeInTable() {
    size_t longest = 2;  // F8 v
    for (size_t bytes : kCodeBytes) longest = std::max(longest, bytes);
    return longest;
}

// The longest run any code can give: no run in the bulk loop needs clamping.
constexpr size_t kLongestRun = 2 * 255 + 6;
static_assert(kLongestRun == LongestRunInTable(), "the bulk loop's capacity margin is the longest run of the code table");
// The look at the literals reads a whole block, and a code's operands are
// read unchecked.
static_assert(kLookAhead >= kBlock && kLookAhead >= LongestCodeInTable(),
              "the bulk loop's stream margin covers a block and the longest code");
// How far a run's source moves with each block: a fill's pattern stays put.
constexpr size_t kSourceStep[4] = {0, 0, kBlock, kBlock};
// A fill's pattern is parked this far past the run's first slot: beyond the
// blocks of the longest run, in slots that later codes write again.
constexpr size_t kPatternAhead = (kLongestRun + kBlock - 1) / kBlock * kBlock;

// The literals at the start of `bytes` (up to 16, at least 1 when the first
// byte is one): bytes below F8 are pixels, F8 and above are codes.
inline size_t LiteralRun(const unsigned char* bytes) { return FirstOf16(CodeByteMask(bytes)); }

// Writes the pair a, b eight times into a 16-byte block, as one store where
// there are vectors, so that the block reads that follow are served from it
// whole (a read spanning two smaller stores waits for both to reach memory).
inline void FillBlockWithPair(unsigned char* block, unsigned char a, unsigned char b) {
#if defined(__SSE2__)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block), _mm_set1_epi16(static_cast<short>(a | b << 8)));
#else
    const uint64_t pairs = (uint64_t{a} | uint64_t{b} << 8) * 0x0001000100010001ull;
    std::memcpy(block, &pairs, 8);
    std::memcpy(block + 8, &pairs, 8);
#endif
}

size_t DecodeBulk(unsigned char* history, size_t size, size_t capacity, size_t width, const unsigned char* stream,
                  uint32_t length, size_t* consumed) {
    *consumed = 0;
    if (capacity < kLongestRun || size < kPatternAhead + kBlock) return 0;
    const size_t lastK = std::min(capacity - kLongestRun, size - (kPatternAhead + kBlock));
    const unsigned char* p = stream;
    const unsigned char* const end = stream + length;
    // Copies go in blocks only from at least a block back, so that a block
    // never reads what the same copy has yet to write, and only once the
    // source lies inside the history.
    const bool narrow = width < kBlock;
    const size_t minimumK[4] = {0, 0, 2 * width, width};
    // Where a run's blocks come from, relative to its first slot: the fill
    // pattern for FC and FD, two rows or one row back for FE and FF.
    const std::ptrdiff_t sourceOffset[4] = {static_cast<std::ptrdiff_t>(kPatternAhead),
                                            static_cast<std::ptrdiff_t>(kPatternAhead),
                                            -static_cast<std::ptrdiff_t>(2 * width), -static_cast<std::ptrdiff_t>(width)};
    size_t k = 0;
    while (k <= lastK && static_cast<size_t>(end - p) >= kLookAhead) {
        unsigned code = p[0];
        if (code < torva::pms::kFirstCode) {
            const size_t run = LiteralRun(p);
            CopyBlock(history + k, p);
            k += run;
            p += run;
            // A run shorter than the block ends at a code byte: that code is
            // taken at once, so the literal test is not asked (and guessed
            // at) again for a byte whose answer is known.
            if (run == kBlock) continue;
            if (k > lastK || static_cast<size_t>(end - p) < kLookAhead) break;
            code = p[0];
        }
        if (code >= torva::pms::kPairRun) {
            // FC n a b: the pair a, b, n + 3 times; FD n c: c, n + 4 times;
            // FE n, FF n: n + 3 pixels from two rows or one row up. Which of
            // fill and copy comes next is what a busy picture makes hardest
            // to guess, so the two share one path with no branch between
            // them: a run of blocks from a source found by table, which moves
            // along with the run for a copy and stays on the fill's pattern,
            // parked in slots past the run, for a fill.
            const size_t kind = code - torva::pms::kPairRun;
            const size_t count = RunLength(code, p[1]);
            // Rarely true (a narrow picture, or the first rows), so the test
            // is cheap to guess; bitwise, so that it does not ask `kind` first.
            const bool exactCopy = (k < minimumK[kind]) | (narrow & (kind >= 2));
            if (exactCopy) {
                CopyFromEarlier(history, k, count, width << (kind == 2));
            } else {
                // The pair (for FD the value twice), also written for a copy,
                // which leaves it unused.
                FillBlockWithPair(history + k + kPatternAhead, p[2], p[2 + (kind == 0)]);
                const unsigned char* const from = history + k + sourceOffset[kind];
                const size_t step = kSourceStep[kind];
                CopyBlock(history + k, from);
                CopyBlock(history + k + kBlock, from + step);
                CopyBlock(history + k + 2 * kBlock, from + 2 * step);
                // Longer runs (flat areas) pay for a branch to the loop that
                // suits them: a fill stores its pattern from a register.
                if (count > 3 * kBlock) {
                    if (step == 0) {
                        unsigned char pattern[kBlock];
                        std::memcpy(pattern, from, kBlock);
                        for (size_t done = 3 * kBlock; done < count; done += kBlock) {
                            std::memcpy(history + k + done, pattern, kBlock);
                        }
                    } else {
                        for (size_t done = 3 * kBlock; done < count; done += kBlock) {
                            CopyBlock(history + k + done, from + done);
                        }
                    }
                }
            }
            k += count;
            p += kCodeBytes[kind];
            continue;
        }
        switch (code) {
            case torva::pms::kEscape:
                history[k++] = p[1];
                p += 2;
                break;
            case torva::pms::kPackedRun:
                p += 1;
                break;
            default: {  // FA, FB
                const size_t distance = code == torva::pms::kAboveRight ? width - 1 : width + 1;
                if (distance != 0 && k >= distance) {
                    history[k] = history[k - distance];
                } else {
                    CopyFromEarlier(history, k, 1, distance);
                }
                k += 1;
                p += 1;
                break;
            }
        }
    }
    *consumed = static_cast<size_t>(p - stream);
    return k;
}

// Decodes codes into `history` (`size` bytes) until the stream ends or
// `capacity` pixels (at most `size`) have been produced, and returns the
// number produced.
//
// Decoding stops at the capacity instead of running on to the end of the
// stream: every later pixel would land past the picture's last row, where
// it is dropped, so the visible result is the same, and no history slot past
// the capacity is ever written.
//
// A last code whose operands lie past the end of the stream is ignored: the
// file has been cut short, and bytes after the stream are not part of it.
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
        size_t count = 0;
        switch (*code) {
            case torva::pms::kEscape: {
                const unsigned char* value = cursor.take(1);
                if (value == nullptr) return k;
                history[k] = *value;
                count = 1;
                break;
            }
            case torva::pms::kPackedRun:
                break;
            case torva::pms::kAboveRight:
            case torva::pms::kAboveLeft:
                count = 1;
                CopyFromEarlier(history, k, count, *code == torva::pms::kAboveRight ? width - 1 : width + 1);
                break;
            case torva::pms::kPairRun: {
                const unsigned char* operands = cursor.take(3);
                if (operands == nullptr) return k;
                count = RunLength(*code, operands[0]);
                if (count > room) count = room;
                FillPattern(history + k, operands + 1, 2, count);
                break;
            }
            case torva::pms::kFillRun: {
                const unsigned char* operands = cursor.take(2);
                if (operands == nullptr) return k;
                count = RunLength(*code, operands[0]);
                if (count > room) count = room;
                std::memset(history + k, operands[1], count);
                break;
            }
            case torva::pms::kCopyTwoUp:
            case torva::pms::kCopyUp: {
                const unsigned char* operand = cursor.take(1);
                if (operand == nullptr) return k;
                count = RunLength(*code, *operand);
                if (count > room) count = room;
                CopyFromEarlier(history, k, count, *code == torva::pms::kCopyTwoUp ? 2 * width : width);
                break;
            }
            default: {
                // Literals come in runs wherever a picture is busy: the whole
                // run, up to the next code byte or the capacity, is taken in
                // one pass.
                const unsigned char* run = code + 1;
                const size_t limit = std::min<size_t>(room, cursor.remaining() + 1);
                count = 1;
                while (count < limit && run[count - 1] < torva::pms::kFirstCode) ++count;
                std::memcpy(history + k, code, count);
                cursor.skip(count - 1);
                break;
            }
        }
        k += count;
    }
    return k;
}

}  // namespace

// The stream of the plane `which`, or OutsideFile when its offset lies past
// the file. Either stream runs to the end of the file.
DecodeStatus LocatePms8Stream(const PmsHeader& header, ByteSpan file, PmsStream which, ByteSpan* stream) {
    const uint32_t offset = which == PmsStream::Pixels ? header.pixelOffset : header.extraOffset;
    if (offset > file.size) return DecodeStatus::OutsideFile;
    *stream = file.from(offset);
    return DecodeStatus::Complete;
}

DecodeResult DecodePms8(const PmsHeader& header, ByteSpan file, PmsStream which, PixelSpan out) {
    const int32_t width = header.width;
    const int32_t height = header.height;
    // No row to store into: every pixel would be dropped.
    if (width <= 0 || height <= 0) return Failed(DecodeStatus::Corrupt);
    const uint64_t stride = RowStride(uint64_t(width), 8);
    if (!out.fits(uint64_t(width), uint64_t(height))) return Failed(DecodeStatus::TooLarge);
    ByteSpan stream{};
    const DecodeStatus located = LocatePms8Stream(header, file, which, &stream);
    if (located != DecodeStatus::Complete) return Failed(located);

    // The history holds the picture as the stream gives it, top-down and
    // unpadded, with 256 bytes of slack; it is sized as a bitmap of the
    // picture, stride(8) x H, so the bulk loop keeps its room before the end.
    // A size past what one call may allocate is refused before anything is
    // decoded.
    const uint64_t historyBytes = stride * uint64_t(height) + 256;
    if (!AllocationFits(historyBytes)) return Failed(DecodeStatus::TooLarge);
    //
    // The history is not zero-filled: no byte of it is read before it is
    // written. Every code writes its whole run at the decoding position k and
    // reads only from slots before the byte it is producing; a source before
    // the start of the history, or the slot being produced itself (distance 0),
    // gives an explicit 0 rather than a read. The rows copied out are the
    // `produced` bytes only. The outcome is therefore that of a zero-filled
    // history, byte for byte.
    HeapBuffer history;
    if (!history.allocateUninitialised(static_cast<uint32_t>(historyBytes))) {
        return Failed(DecodeStatus::OutOfMemory);
    }

    // Only the picture's W x H pixels are ever stored.
    const uint64_t capacity = uint64_t(width) * uint64_t(height);
    const size_t w = static_cast<size_t>(width);
    const size_t produced = DecodeIntoHistory(history.data(), static_cast<size_t>(historyBytes),
                                              static_cast<size_t>(capacity), w, stream.data, stream.size);

    // Image row r (from the top) is memory row H - 1 - r.
    pms_detail::CopyRowsOut(out.data, out.stride, history.data(), w, produced, static_cast<size_t>(height), true);
    return DecodeResult{produced == capacity ? DecodeStatus::Complete : DecodeStatus::Truncated, produced};
}

// The palette is 256 triples of red, green, blue; the colour table wants
// blue, green, red and a zero byte. A palette that does not lie wholly inside
// the file leaves the table as it was.
DecodeStatus ReadPmsPalette(const PmsHeader& header, ByteSpan file, unsigned char* colourTable) {
    if (header.extraOffset > file.size) return DecodeStatus::OutsideFile;
    if (!file.holds(header.extraOffset, kPmsPaletteBytes)) return DecodeStatus::Truncated;
    const unsigned char* palette = file.data + header.extraOffset;
    for (int i = 0; i < 256; ++i) {
        colourTable[4 * i + 0] = palette[3 * i + 2];
        colourTable[4 * i + 1] = palette[3 * i + 1];
        colourTable[4 * i + 2] = palette[3 * i + 0];
    }
    return DecodeStatus::Complete;
}

}  // namespace torva
