// Inflate with libdeflate, answering exactly as zlib's `uncompress` would.
//
// libdeflate is the faster engine, but it does not judge every stream as
// zlib does. The classes of difference, and how each is answered:
//
//  - libdeflate refuses a stream (bad data, output longer than the
//    capacity, input ending early): zlib's verdict differs in kind (zlib
//    says Z_BUF_ERROR where the output is full or, with room left, where the
//    input ends early, and reports how much it produced before stopping),
//    so zlib is asked and its answer returned as it is.
//  - The zlib header (check bits, method, window over 32 KiB, preset
//    dictionary): libdeflate refuses all that zlib refuses; zlib then gives
//    its own verdict (a preset dictionary is Z_DATA_ERROR from `uncompress`).
//  - Trailing bytes after the checksum: both ignore them.
//  - A stream that fills the capacity exactly is accepted by both; one byte
//    more is refused by both.
//  - Block headers and codes that zlib refuses and libdeflate accepts (too
//    many codes declared, repeats past the declared lengths, incomplete
//    codes, the fixed code's symbols 286, 287 and distances 30, 31, bit
//    patterns that are no code): when libdeflate succeeds, the blocks are
//    walked once more under zlib's rules (codec/zlib_block_rules.h), and
//    zlib is asked if they fail there.
//  - An empty output buffer: `uncompress` then inflates into a one-byte
//    buffer of its own, with results of its own; it is always asked.
//  - Lengths beyond 32 bits: zlib inflates them in pieces; it is asked.
//  - Memory: libdeflate's decompressor cannot be allocated: zlib is asked,
//    and reports Z_MEM_ERROR if it cannot allocate either.
//
// The walk reads every code again, which costs about as much per input byte
// as libdeflate's own decoding. It pays where each input byte stands for
// several output bytes (flat art, long matches); where the input is large
// against the capacity (photographs compress to about half), libdeflate and
// the walk together take as long as zlib alone, and zlib inflates the stream
// itself. Both ways give zlib's answer; the choice only decides the speed.
//
// libdeflate may write scratch bytes beyond the produced length (up to the
// capacity), which zlib never touches; callers read only what was produced.
#include "codec/zlib_inflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>

#include "codec/zlib_block_rules.h"

namespace torva {
namespace {

// The zlib header before the deflate data and the checksum after it.
constexpr unsigned long kHeaderBytes = 2;
constexpr unsigned long kChecksumBytes = 4;

// libdeflate and the walk are used when the input is at most this share of
// the capacity.
constexpr unsigned long kWalkPaysUpToInputPerOutput = 4;  // 1 input byte per 4 output bytes

int AskZlib(unsigned char* dest, unsigned long* destLen, const unsigned char* source, unsigned long sourceLen) {
    uLongf length = *destLen;
    const int result = uncompress(dest, &length, source, sourceLen);
    *destLen = length;
    return result;
}

}  // namespace

namespace inflate_detail {

int InflateThroughLibdeflate(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
                             unsigned long sourceLen) {
    const unsigned long capacity = *destLen;
    if (capacity == 0 || capacity > UINT32_MAX || sourceLen > UINT32_MAX) {
        return AskZlib(dest, destLen, source, sourceLen);
    }
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    if (decompressor == nullptr) return AskZlib(dest, destLen, source, sourceLen);
    std::size_t produced = 0;
    const libdeflate_result result =
        libdeflate_zlib_decompress(decompressor, source, sourceLen, dest, capacity, &produced);
    libdeflate_free_decompressor(decompressor);
    // Success implies at least the header and the checksum were there.
    if (result == LIBDEFLATE_SUCCESS &&
        ZlibAcceptsBlocks(source + kHeaderBytes, sourceLen - kHeaderBytes - kChecksumBytes)) {
        *destLen = static_cast<unsigned long>(produced);
        return Z_OK;
    }
    return AskZlib(dest, destLen, source, sourceLen);
}

}  // namespace inflate_detail

int InflateLikeUncompress(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
                          unsigned long sourceLen) {
    if (uint64_t{sourceLen} * kWalkPaysUpToInputPerOutput > *destLen) return AskZlib(dest, destLen, source, sourceLen);
    return inflate_detail::InflateThroughLibdeflate(dest, destLen, source, sourceLen);
}

}  // namespace torva
