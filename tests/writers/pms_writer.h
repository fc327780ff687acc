// Writers of PMS test files: the byte-code encoders for 8-bit and 16-bit
// streams and the file layout around them. By default the encoders pick at
// random among every code that fits at each point, so that round trips of
// generated pictures run through every path of the decoders. The greedy mix
// encodes the way a real encoder would, for benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/support/test_support.h"

namespace torvatest {

struct PmsPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    int depth = 8;    // 8 (paletted) or 16 (5-6-5)
    int version = 1;  // 1: 48-byte header, 2: 64-byte header
    Bytes indices;    // depth 8: width x height palette indices, top row first
    Bytes palette;    // depth 8: 256 entries of red, green, blue (768 bytes)
    std::vector<uint16_t> pixels;  // depth 16: width x height pixels, top row first
    Bytes alpha;      // depth 16: width x height alpha values, top row first; empty: none
};

// How often each code was emitted: literals (8-bit 00-F7, 16-bit low byte
// 00-F7) and the codes F8 to FF.
struct PmsCodeCounts {
    uint64_t literals = 0;
    uint64_t codes[8] = {};
    uint64_t of(unsigned code) const { return codes[code - 0xF8]; }
};

// How the encoders choose among the codes that fit at a pixel.
enum class PmsCodeMix {
    // Any code that fits, with a random length within what matches; now and
    // then an 8-bit F9 that produces nothing. Covers every decoder path.
    Random,
    // Deterministic: the code that yields the most pixels per stream byte,
    // each at the longest length that matches; on a tie the longer run, then
    // the literal before the other one-pixel codes. No F9 in 8-bit streams.
    Greedy,
};

// An 8-bit stream for `count` pixels in rows of `width`, top row first.
Bytes EncodePms8Stream(const unsigned char* pixels, size_t count, uint32_t width, uint64_t seed,
                       PmsCodeCounts* counts = nullptr, PmsCodeMix mix = PmsCodeMix::Random);

// A 16-bit stream for `count` 5-6-5 pixels in rows of `width`, top row first.
Bytes EncodePms16Stream(const uint16_t* pixels, size_t count, uint32_t width, uint64_t seed,
                        PmsCodeCounts* counts = nullptr, PmsCodeMix mix = PmsCodeMix::Random);

// The complete file: header, then for depth 8 the palette and the stream, for
// depth 16 the stream and the alpha stream when there is one.
Bytes WritePms(const PmsPicture& picture, uint64_t seed, PmsCodeCounts* counts = nullptr,
               PmsCodeMix mix = PmsCodeMix::Random);

// A picture with the structure the codes are made for (runs, pairs, rows
// repeated from above, shifted copies, colours sharing their high bits) mixed
// with noise; values F8-FF and low bytes F8-FF are frequent.
PmsPicture MakePmsPicture(uint32_t width, uint32_t height, int depth, bool withAlpha, int version, uint64_t seed);

}  // namespace torvatest
