// Writes VSP files: 16-colour pictures whose four bit-planes are compressed
// column by column with a random but valid mix of every plane command, or,
// for benchmarks, greedily as a real encoder would.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tests/support/test_support.h"

namespace torvatest {

struct VspLevels {
    unsigned char blue;
    unsigned char green;
    unsigned char red;
};

struct VspPicture {
    int left = 0;    // left edge in units of 8 pixels
    int top = 0;     // top row
    int width = 8;   // pixels, a multiple of 8 (8..640)
    int height = 1;  // rows (1..400)
    std::array<VspLevels, 16> palette{};  // levels 0..15 per channel
    std::vector<unsigned char> indices;   // width x height colour indices 0..15, top row first
};

// What the encoder emitted, for tests that want to know the stream's shape.
struct VspWriteStats {
    // Commands by first byte 0..7; [8] counts literals (8..255).
    std::array<uint32_t, 9> commands{};
    // Copies (3..5) that applied a mask set in an earlier plane or column.
    uint32_t carriedMasks = 0;
    // Stream offset (from the start of the plane stream) just past each column.
    std::vector<uint32_t> columnEnds;
};

// How the encoder chooses among the commands that match at a row.
enum class VspCodeMix {
    // Mostly the command with the most rows per stream byte, otherwise any
    // that fits, with random lengths and stray negations: covers every path.
    Random,
    // Deterministic: always the command with the most rows per stream byte,
    // at its longest match (on a tie, the one giving more rows); no command 6
    // except before an inverted copy.
    Greedy,
};

// The complete file: header, 2 unread bytes, the palette (blue, red, green per
// entry) and the plane stream. `seed` picks among the commands that fit.
Bytes WriteVsp(const VspPicture& picture, uint64_t seed, VspWriteStats* stats = nullptr,
               VspCodeMix mix = VspCodeMix::Random);

// The 4-bit pixel array the picture decodes to: rows of width / 2 bytes,
// bottom row first, the left pixel of each pair in the high nibble.
Bytes ExpectedVspPixels(const VspPicture& picture);

// The 64-byte colour table the palette gives (blue, green, red, 0 each).
Bytes ExpectedVspColourTable(const VspPicture& picture);

// A picture with structure that gives every command a chance to match: flat
// areas, repeated columns, two-row stripes, planes that equal or invert one
// another, and noise.
VspPicture MakeVspPicture(int width, int height, uint64_t seed);

}  // namespace torvatest
