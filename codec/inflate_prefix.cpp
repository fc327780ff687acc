#include "codec/inflate_prefix.h"

#include <zlib.h>

#include <climits>

namespace torva {

PrefixInflate InflatePrefix(unsigned char* destination, uint64_t* length, const unsigned char* source,
                            uint32_t sourceSize) {
    // zlib counts in uInt; every capacity the decoders pass is one of their
    // allocations, which fits, and a larger one is offered as far as it can.
    const uInt capacity = *length > UINT_MAX ? UINT_MAX : static_cast<uInt>(*length);
    *length = 0;
    // No bytes at all: a stream cut before its first byte.
    if (sourceSize == 0) return PrefixInflate::EndsEarly;
    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(source);  // zlib does not write through next_in
    stream.avail_in = sourceSize;
    stream.next_out = destination;
    stream.avail_out = capacity;
    if (inflateInit(&stream) != Z_OK) return PrefixInflate::OutOfMemory;
    // One call takes all the input it can; it is repeated only while it goes
    // on making progress with room and input left.
    int result = Z_OK;
    while (result == Z_OK && stream.avail_in != 0 && stream.avail_out != 0) result = inflate(&stream, Z_NO_FLUSH);
    const bool outputFull = stream.avail_out == 0;
    const bool inputUsed = stream.avail_in == 0;
    *length = capacity - stream.avail_out;
    inflateEnd(&stream);
    if (result == Z_STREAM_END) return PrefixInflate::Whole;
    if (result == Z_MEM_ERROR) return PrefixInflate::OutOfMemory;
    // Z_OK or Z_BUF_ERROR with all input taken and room left: the stream
    // simply stops here. Anything else is no prefix of a good stream (a stream
    // that fills the capacity is one the one-call inflate refuses as well).
    if ((result == Z_OK || result == Z_BUF_ERROR) && inputUsed && !outputFull) return PrefixInflate::EndsEarly;
    return PrefixInflate::Corrupt;
}

}  // namespace torva
