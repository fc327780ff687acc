// The libpng baseline: a picture written as a PNG with libpng's default
// settings, and decoded again from memory.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/test_support.h"

namespace torvabench {

enum class PngKind { Rgb, Rgba, Palette8, Palette4 };

// `rows` are top row first, packed as the kind says (3 or 4 bytes a pixel,
// 1 byte an index, or 2 indices a byte, high nibble first); `palette` holds
// red, green, blue triples for the palette kinds.
torvatest::Bytes WritePng(PngKind kind, uint32_t width, uint32_t height, const torvatest::Bytes& rows,
                          const torvatest::Bytes& palette);

// Decodes `png` into `out` (resized to hold the rows) without transforms and
// returns the number of bytes produced; 0 on failure.
size_t DecodePng(const torvatest::Bytes& png, torvatest::Bytes& out);

}  // namespace torvabench
