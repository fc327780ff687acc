// The writer's work behind png_writer.h: the layout, the filtered rows, the
// compression and the chunks, with the libdeflate level open for
// measurements and tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "png/png_source.h"
#include "png/png_writer.h"

namespace torva_png {

// How the image data is compressed: libdeflate at a level from 0 to 12, or
// zlib at a level from 1 to 9, or zlib coding literals alone (no matches).
struct Method {
    enum Coder : uint8_t { kLibdeflate, kZlib, kZlibLiterals };
    Coder coder = kLibdeflate;
    int level = 7;

    bool operator==(const Method& other) const { return coder == other.coder && level == other.level; }
};

// What the methods are chosen from.
struct Content {
    bool palette = false;
    // Thousandths of the image data's bytes that repeat what precedes them:
    // zeros after the filters in colour pictures, runs in palette pictures
    // (counted before any filter).
    unsigned repeatedPermille = 0;
    // Whether, on samples of the image data, matches made it smaller than
    // literals alone; only looked at for colour pictures of few zeros.
    bool matchesPay = false;
};

// Thousandths of repeated bytes from which a picture counts as flat art, and
// below which a colour photograph's filtered rows count as noise throughout
// (unless matches pay).
constexpr unsigned kFlatPermille = 850, kNoisePermille = 300;

// The methods a torva_png_level tries for a picture, the smaller output kept
// (the first on a tie). Returns how many of `out` it filled (1 or 2).
size_t ChooseMethods(int level, const Content& content, Method out[2]);

// A PNG file in three parts: the chunks before the image data, the
// compressed image data (written as IDAT chunks) and IEND.
struct Encoded {
    static constexpr size_t kHeadCapacity = 8 + 25 + 12 + 3 * 256 + 12 + 256 + 12 + 9;
    uint8_t head[kHeadCapacity];
    size_t headSize = 0;
    std::unique_ptr<uint8_t[]> packed;
    size_t packedSize = 0;
    Method method;          // the method the image data took
    bool upFiltered = false;  // palette rows filtered with Up (flat art)
};

// Encodes a checked source (see torva_png_write) at a torva_png_level, or
// with `method` alone when it is not null.
torva_png_status Encode(const Source& source, int level, const Method* method, const torva_png_options& options,
                        Encoded& encoded);

// The file's size, and the file itself through `write`.
uint64_t FileSize(const Encoded& encoded);
torva_png_status Emit(const Encoded& encoded, torva_png_write_fn write, void* context);

}  // namespace torva_png
