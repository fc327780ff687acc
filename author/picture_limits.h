// The largest pictures the encoders accept: those whose bitmap the plug-in
// can build (width and height fit 16 bits, 4 bytes a pixel within one
// allocation of 256 MiB).
#pragma once

#include <cstdint>

namespace author {

constexpr uint64_t kLargestBitmapBytes = uint64_t{256} << 20;

inline bool PictureSizeAllowed(uint32_t width, uint32_t height) {
    return width <= 65535 && height <= 65535 && uint64_t{4} * width * height <= kLargestBitmapBytes;
}

}  // namespace author
