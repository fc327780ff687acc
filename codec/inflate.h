// The one place a compressed stream is inflated.
#pragma once

#include <cstdint>

namespace torva {

// Inflates the zlib stream `source` (`sourceSize` bytes) into `destination`.
// `length` is the capacity offered on entry and the number of bytes produced
// on return. False when the stream does not inflate whole within the
// capacity; `length` is then unchanged. The verdict and the bytes produced
// are exactly those of zlib's `uncompress`; bytes of `destination` past the
// produced length, up to the capacity, may be overwritten.
bool InflateStream(unsigned char* destination, uint64_t* length, const unsigned char* source, uint32_t sourceSize);

// The same, leaving every byte past the produced length as it was (zlib
// alone, slower on most streams).
bool InflateStreamWritingNoFurther(unsigned char* destination, uint64_t* length, const unsigned char* source,
                                   uint32_t sourceSize);

}  // namespace torva
