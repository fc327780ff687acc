// The largest pictures the encoders accept: those whose bitmap the plug-in
// can build (width and height fit 16 bits, 4 bytes a pixel within one
// allocation of the library's cap; fuzzing builds lower the cap, as they do
// for the decoders).
#pragma once

#include <cstdint>

#include "base/checked_size.h"

namespace author {

constexpr uint64_t kLargestBitmapBytes = torva::kMaxAllocationBytes;

inline bool PictureSizeAllowed(uint32_t width, uint32_t height) {
    uint64_t bytes = 0;
    return width <= 65535 && height <= 65535 && torva::CheckedMul3(4, width, height, &bytes) &&
           torva::AllocationFits(bytes);
}

}  // namespace author
