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

// The libdeflate level that TORVA_PNG_LEVEL_FAST and _BEST stand for.
int DeflateLevel(int level);

// The libdeflate level of TORVA_PNG_LEVEL_DEFAULT for a picture: chosen from
// whether it is written with a palette and from the thousandths of its image
// data's bytes that repeat what precedes them (zeros after the filters in
// colour pictures, runs in palette pictures).
int ChooseDeflateLevel(bool palette, unsigned repeatedPermille);

// Stands for "as TORVA_PNG_LEVEL_DEFAULT chooses" where a libdeflate level
// is asked for.
constexpr int kAdaptiveLevel = -1;

// A PNG file in three parts: the chunks before the image data, the
// compressed image data (written as IDAT chunks) and IEND.
struct Encoded {
    static constexpr size_t kHeadCapacity = 8 + 25 + 12 + 3 * 256 + 12 + 256 + 12 + 9;
    uint8_t head[kHeadCapacity];
    size_t headSize = 0;
    std::unique_ptr<uint8_t[]> packed;
    size_t packedSize = 0;
    int deflateLevel = 0;  // the libdeflate level the image data took
};

// Encodes a checked source (see torva_png_write) at a libdeflate level from
// 0 to 12, or kAdaptiveLevel.
torva_png_status Encode(const Source& source, int deflateLevel, const torva_png_options& options,
                        Encoded& encoded);

// The file's size, and the file itself through `write`.
uint64_t FileSize(const Encoded& encoded);
torva_png_status Emit(const Encoded& encoded, torva_png_write_fn write, void* context);

}  // namespace torva_png
