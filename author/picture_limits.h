// The largest pictures the encoders accept: those whose bitmap the plug-in
// can build (width and height fit 16 bits, 4 bytes a pixel within one
// allocation of the library's cap, 256 MiB; fuzzing builds lower the cap,
// as they do for the decoders).
#pragma once

#include <cstdint>

#ifndef TORVA_MAX_ALLOCATION_BYTES
#define TORVA_MAX_ALLOCATION_BYTES (uint64_t{256} << 20)
#endif

namespace author {

constexpr uint64_t kLargestBitmapBytes = TORVA_MAX_ALLOCATION_BYTES;

inline bool PictureSizeAllowed(uint32_t width, uint32_t height) {
    return width <= 65535 && height <= 65535 && uint64_t{4} * width * height <= kLargestBitmapBytes;
}

}  // namespace author
