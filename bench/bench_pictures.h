// Test pictures for the benchmarks, made with the project's own writers from
// two kinds of content: photographic (smooth gradients with noise) and flat
// colour art (large areas with sharp edges).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace torvabench {

using torvatest::Bytes;

enum class Content { Photo, Flat };

const char* ContentName(Content content);

// A scene of width x height pixels, top row first: 8-bit blue, green, red
// and alpha per pixel, plus a small region label per pixel (for indexed
// formats that want few distinct values in the flat art).
struct Scene {
    uint32_t width = 0;
    uint32_t height = 0;
    Bytes bgra;    // 4 bytes a pixel
    Bytes region;  // 0..15 in flat art; a quantised level in photographs
};

Scene MakeScene(Content content, uint32_t width, uint32_t height, uint64_t seed);

}  // namespace torvabench
