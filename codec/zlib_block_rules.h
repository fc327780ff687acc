// The rules of zlib's inflate that a faster inflate engine does not apply.
//
// Walks the blocks of a raw deflate stream (the bytes between a zlib header
// and its checksum) without producing output, and answers whether zlib's
// inflate would accept every block header and every code it reads. A false
// answer means "not known to be accepted", never "rejected": the caller then
// asks zlib itself. What both engines check alike (block type 3, stored
// lengths, distances beyond the output so far, the output capacity, the
// checksum) is left to the engine that produces the output.
#pragma once

#include <cstddef>

namespace torva {

bool ZlibAcceptsBlocks(const unsigned char* deflate, std::size_t size);

}  // namespace torva
