#include "fuzz/inflate_input.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/zlib_inflate.h"

namespace torvafuzz {
namespace {

// Outputs beyond this are cut (both engines then report a full buffer).
constexpr unsigned long kAmple = 1u << 20;

unsigned char g_reference[kAmple];
unsigned char g_ours[kAmple];

// Rewrites the four bytes after the deflate data with the Adler-32 of what
// it inflates to, when it inflates at all.
void RepairChecksum(std::vector<unsigned char>* stream) {
    if (stream->size() < 2) return;
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    if (decompressor == nullptr) return;
    std::size_t used = 0;
    std::size_t produced = 0;
    if (libdeflate_deflate_decompress_ex(decompressor, stream->data() + 2, stream->size() - 2, g_reference, kAmple,
                                         &used, &produced) == LIBDEFLATE_SUCCESS) {
        const uint32_t sum = libdeflate_adler32(1, g_reference, produced);
        const std::size_t at = 2 + used;
        if (stream->size() < at + 4) stream->resize(at + 4);
        for (int i = 0; i < 4; ++i) (*stream)[at + i] = static_cast<unsigned char>(sum >> (24 - 8 * i));
    }
    libdeflate_free_decompressor(decompressor);
}

unsigned long CapacityFor(const uint8_t* data, const std::vector<unsigned char>& stream) {
    uLongf full = kAmple;
    uncompress(g_reference, &full, stream.data(), static_cast<uLong>(stream.size()));
    switch ((data[0] >> 1) & 3) {
        case 0: {
            const long around = static_cast<long>(full) + static_cast<signed char>(data[1]);
            return static_cast<unsigned long>(std::clamp(around, 0L, static_cast<long>(kAmple)));
        }
        case 1: return data[1] | (unsigned{data[2]} << 8);
        case 2: return kAmple;
        default: return full > 0 ? full - 1 : 0;
    }
}

}  // namespace

void RunInflateInput(const uint8_t* data, size_t size) {
    if (size < 3) return;
    std::vector<unsigned char> stream(data + 3, data + size);
    if (data[0] & 1) RepairChecksum(&stream);
    const unsigned long capacity = CapacityFor(data, stream);
    const uLong sourceLen = static_cast<uLong>(stream.size());

    uLongf expectedLength = capacity;
    const int expected = uncompress(g_reference, &expectedLength, stream.data(), sourceLen);
    unsigned long ourLength = capacity;
    const int result = torva::InflateLikeUncompress(g_ours, &ourLength, stream.data(), sourceLen);
    if (result != expected || ourLength != expectedLength ||
        std::memcmp(g_ours, g_reference, std::min<unsigned long>(ourLength, kAmple)) != 0) {
        std::fprintf(stderr, "inflate differs from uncompress: result %d (zlib %d), length %lu (zlib %lu), capacity %lu\n",
                     result, expected, ourLength, static_cast<unsigned long>(expectedLength), capacity);
        std::abort();
    }
}

}  // namespace torvafuzz
