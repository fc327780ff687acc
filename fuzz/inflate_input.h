// The differential input of the inflate path: one zlib stream and a
// capacity, inflated by InflateLikeUncompress and by zlib's uncompress; any
// difference in result, produced length or produced bytes aborts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace torvafuzz {

// Byte 0: bit 0 set repairs the stream's checksum first (so that mutated
// streams reach the end of their blocks and the judgement of their codes),
// bits 1-2 pick the capacity: 0 the output length plus byte 1 taken as a
// signed offset, 1 bytes 1-2 as a number, 2 ample, 3 one byte short of the
// output. The stream follows from byte 3.
void RunInflateInput(const uint8_t* data, size_t size);

}  // namespace torvafuzz
