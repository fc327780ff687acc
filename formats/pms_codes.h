// The code bytes of the PMS pixel streams and the runs they give, shared by
// the decoders (codec/pms8_decoder.cpp, codec/pms16_decoder.cpp) and the
// encoder (author/pms_encoder.cpp).
//
// A stream byte below kFirstCode is a literal: the pixel of an 8-bit stream,
// the low byte of a 16-bit stream's pixel (its high byte follows). The bytes
// from kFirstCode up are codes:
//   F8 v            the literal v (8-bit), or F8 lo hi (16-bit): a literal
//                   whose low byte would read as a code
//   F9 n b c...     16-bit only: n + 1 pixels of one packed base byte b (the
//                   top 3 bits of red, 2 of green, 3 of blue) and a byte c
//                   each for the rest; in an 8-bit stream F9 is skipped
//   FA, FB          one pixel from the row above, one to the right or left
//   FC n a b        the pair a, b repeated
//   FD n a          a repeated
//   FE n, FF n      pixels copied from two rows or one row up
// The run codes FC to FF, and F9, count their pixels from the byte n as
// n x scale + base.
#pragma once

#include <cstdint>

namespace torva {
namespace pms {

constexpr uint8_t kFirstCode = 0xF8;
constexpr uint8_t kEscape = 0xF8;
constexpr uint8_t kPackedRun = 0xF9;
constexpr uint8_t kAboveRight = 0xFA;
constexpr uint8_t kAboveLeft = 0xFB;
constexpr uint8_t kPairRun = 0xFC;
constexpr uint8_t kFillRun = 0xFD;
constexpr uint8_t kCopyTwoUp = 0xFE;
constexpr uint8_t kCopyUp = 0xFF;

constexpr bool IsLiteral(uint8_t byte) { return byte < kFirstCode; }

// Pixels of a run for its count byte n, and the bytes of its code.
struct RunRule {
    uint32_t scale;
    uint32_t base;
    uint32_t codeBytes;  // the code, n and the operands of fixed length

    constexpr uint32_t pixels(uint32_t n) const { return n * scale + base; }
    constexpr uint32_t shortest() const { return base; }
    constexpr uint32_t longest() const { return pixels(255); }
    // The count byte of a run of `length` pixels (one the rule can give).
    constexpr uint8_t countFor(uint32_t length) const { return static_cast<uint8_t>((length - base) / scale); }
};

struct RunRules {
    RunRule pair;    // FC
    RunRule fill;    // FD
    RunRule copy;    // FE and FF
    RunRule packed;  // F9: 16-bit only (its bytes are those before the per-pixel bytes)
};

constexpr RunRules kRuns8 = {{2, 6, 4}, {1, 4, 3}, {1, 3, 2}, {0, 0, 1}};
constexpr RunRules kRuns16 = {{2, 4, 6}, {1, 3, 4}, {1, 2, 2}, {1, 1, 3}};

// The run rule of code FC + i, i = 0 to 3, in code order.
constexpr RunRule RunOfCode(const RunRules& rules, unsigned code) {
    return code == kPairRun ? rules.pair : code == kFillRun ? rules.fill : rules.copy;
}

static_assert(kPairRun + 1 == kFillRun && kFillRun + 1 == kCopyTwoUp && kCopyTwoUp + 1 == kCopyUp,
              "the run codes FC to FF are consecutive, for tables indexed by code - FC");

}  // namespace pms
}  // namespace torva
