// What arrived of a zlib stream that may be cut short: the recovery path of
// the decoders, taken only after the one-call inflate (codec/inflate.h) has
// refused a stream or where the file ends inside it.
#pragma once

#include <cstdint>

namespace torva {

enum class PrefixInflate {
    Whole,        // the stream ended, its checksum verified
    EndsEarly,    // the bytes ran out before the stream's end
    Corrupt,      // bad data, a bad checksum, or more output than the capacity
    OutOfMemory,  // zlib's state could not be allocated; nothing produced
};

// Inflates the zlib stream whose first `sourceSize` bytes are at `source`
// with zlib's streaming inflate, writing every byte those bytes determine.
// `length` is the capacity on entry and, whatever the outcome, the number of
// bytes produced on return; nothing past them is written. For a stream that
// is Whole the bytes and the count are those of InflateStream.
PrefixInflate InflatePrefix(unsigned char* destination, uint64_t* length, const unsigned char* source,
                            uint32_t sourceSize);

}  // namespace torva
