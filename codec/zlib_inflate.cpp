// Inflate with libdeflate, answering exactly as zlib's `uncompress` would.
//
// The libdeflate compiled into this library refuses every stream zlib's
// inflate refuses (cmake/libdeflate-zlib-verdicts.patch: too many declared
// codes, repeats past the declared lengths, incomplete codes other than an
// empty distance code, the static code's literal/length symbols 286 and 287
// and distance symbols 30 and 31, a match through an empty distance code).
// What it accepts, zlib accepts with the same bytes, so its success is
// returned as it is. Where it refuses, zlib's answer may differ in kind, and
// zlib is asked:
//
//  - bad data, output longer than the capacity, input ending early: zlib
//    says Z_BUF_ERROR where the output is full, Z_DATA_ERROR otherwise, and
//    reports how much it produced before stopping;
//  - the zlib header (check bits, method, window over 32 KiB, preset
//    dictionary): both refuse; a preset dictionary is Z_DATA_ERROR from
//    `uncompress`;
//  - streams libdeflate refuses and zlib accepts: a one-codeword literal/
//    length or distance code, which zlib decodes from the codeword '0' alone.
//    Encoders do not write them.
//
// Alike in both, so never a reason to ask: trailing bytes after the checksum
// are ignored; a stream that fills the capacity exactly is accepted, one byte
// more is refused; the checksum is verified.
//
// Asked always: a source too short to be a stream, an empty output buffer (`uncompress` then inflates into a
// one-byte buffer of its own, with results of its own) and lengths beyond 32
// bits (zlib inflates them in pieces). And when libdeflate's decompressor
// cannot be allocated: zlib then reports Z_MEM_ERROR if it cannot allocate
// either.
//
// libdeflate may write scratch bytes beyond the produced length (up to the
// capacity), which zlib never touches; callers read only what was produced.
#include "codec/zlib_inflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>

namespace torva {
namespace {

// Two header bytes, one byte of deflate data and the four of the checksum.
// Anything shorter is zlib's to judge (and may come with no bytes at all).
constexpr unsigned long kShortestStream = 7;

int AskZlib(unsigned char* dest, unsigned long* destLen, const unsigned char* source, unsigned long sourceLen) {
    uLongf length = *destLen;
    const int result = uncompress(dest, &length, source, sourceLen);
    *destLen = length;
    return result;
}

}  // namespace

int InflateLikeUncompress(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
                          unsigned long sourceLen) {
    const unsigned long capacity = *destLen;
    if (capacity == 0 || capacity > UINT32_MAX || sourceLen < kShortestStream || sourceLen > UINT32_MAX) {
        return AskZlib(dest, destLen, source, sourceLen);
    }
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    if (decompressor == nullptr) return AskZlib(dest, destLen, source, sourceLen);
    std::size_t produced = 0;
    const libdeflate_result result =
        libdeflate_zlib_decompress(decompressor, source, sourceLen, dest, capacity, &produced);
    libdeflate_free_decompressor(decompressor);
    if (result != LIBDEFLATE_SUCCESS) return AskZlib(dest, destLen, source, sourceLen);
    *destLen = static_cast<unsigned long>(produced);
    return Z_OK;
}

}  // namespace torva
