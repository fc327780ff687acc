// zlib's one-call inflate, answered by a faster engine where it can be.
#pragma once

namespace torva {

// Returns what zlib's `uncompress(dest, destLen, source, sourceLen)` returns
// for the same arguments (Z_OK, Z_BUF_ERROR, Z_DATA_ERROR or Z_MEM_ERROR),
// sets *destLen to the length it would set and leaves the same bytes in
// dest[0, *destLen). Bytes of dest beyond *destLen, up to the capacity
// passed in, may be overwritten with scratch data (zlib leaves them as they
// were).
int InflateLikeUncompress(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
                          unsigned long sourceLen);

}  // namespace torva
