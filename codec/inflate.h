// The one place a compressed stream is inflated.
#pragma once

#include <cstdint>

namespace torva {

// Inflates the zlib stream `source` (`sourceSize` bytes) into `destination`.
// `length` is the capacity offered on entry and the number of bytes produced
// on return. False when the stream does not inflate whole within the
// capacity; `length` is then unchanged.
bool InflateStream(unsigned char* destination, uint64_t* length, const unsigned char* source, uint32_t sourceSize);

}  // namespace torva
