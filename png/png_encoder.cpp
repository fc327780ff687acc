#include "png/png_encoder.h"

#include <emmintrin.h>
#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "png/png_filter.h"
#include "png/png_layout.h"

namespace torva_png {
namespace {

using Buffer = std::unique_ptr<uint8_t[]>;

// A buffer, or null when memory is short; zero-filled only when asked, as
// filling megabytes that are written over anyway costs as much as a pass of
// the filters.
Buffer Allocate(uint64_t size, bool zeroed) {
    if (size > std::numeric_limits<size_t>::max() / 2) return nullptr;
    if (zeroed) return Buffer(new (std::nothrow) uint8_t[size_t(size)]());
    return Buffer(new (std::nothrow) uint8_t[size_t(size)]);
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

uint8_t* Put32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = uint8_t(value >> (24 - 8 * i));
    return out + 4;
}

// Appends a chunk to the head, which has room for every chunk it takes.
void PutChunk(Encoded& encoded, const char type[4], const uint8_t* body, size_t size) {
    uint8_t* at = encoded.head + encoded.headSize;
    Put32(at, uint32_t(size));
    std::memcpy(at + 4, type, 4);
    if (size > 0) std::memcpy(at + 8, body, size);
    Put32(at + 8 + size, libdeflate_crc32(0, at + 4, size + 4));
    encoded.headSize += 12 + size;
}

// A chunk's length field is 31 bits; larger image data is split over
// several IDAT chunks, which readers join again.
constexpr size_t kMaxIdatBytes = size_t(1) << 30;

// The rows with their filter types, as the image data's uncompressed stream.
// A row whose given bytes repeat the row above has the same samples, which
// are copied rather than computed again (flat art repeats most of its rows).
Buffer FilteredRows(const Source& source, const PngLayout& layout, uint64_t size) {
    Buffer stream = Allocate(size, false);
    const size_t lineBytes = kFilterLead + layout.rowBytes;
    Buffer lines = Allocate(2 * uint64_t(lineBytes), true);
    if (!stream || !lines) return nullptr;
    uint8_t* current = lines.get() + kFilterLead;
    uint8_t* prior = current + lineBytes;  // zeros: the row above the first
    uint8_t* out = stream.get();
    const size_t sourceBytes = size_t(PackedRowBytes(source));
    for (uint32_t y = 0; y < source.height; ++y, out += layout.rowBytes + 1) {
        const bool repeated = y > 0 && std::memcmp(source.row(y), source.row(y - 1), sourceBytes) == 0;
        if (!layout.filtered) {
            out[0] = 0;
            if (repeated) {
                std::memcpy(out + 1, out - layout.rowBytes, layout.rowBytes);
            } else {
                PngRowSamples(source, layout, y, out + 1);
            }
            continue;
        }
        if (repeated) {
            std::memcpy(current, prior, layout.rowBytes);
        } else {
            PngRowSamples(source, layout, y, current);
        }
        FilterRow(current, prior, layout.rowBytes, layout.pixelBytes, layout.withAverage, out);
        std::swap(current, prior);
    }
    return stream;
}

// Thousandths of the image data's bytes that repeat what comes before them:
// zeros after the filters in filtered pictures, bytes equal to the byte
// before in palette pictures (which are not filtered). Flat art repeats most
// of its bytes; photographs, whose filtered rows are noise, few.
unsigned RepeatedPermille(const uint8_t* stream, size_t size, bool palette) {
    if (size < 2) return 1000;
    const __m128i zero = _mm_setzero_si128();
    uint64_t repeats = 0;
    size_t i = 1;
    while (i + 16 <= size) {
        // Byte counters count at most 255 before they are added up.
        __m128i counts = zero;
        for (int step = 0; step < 255 && i + 16 <= size; ++step, i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(stream + i));
            const __m128i before =
                palette ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(stream + i - 1)) : zero;
            counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(bytes, before));
        }
        const __m128i sums = _mm_sad_epu8(counts, zero);
        repeats += uint64_t(_mm_cvtsi128_si32(sums)) + uint64_t(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
    for (; i < size; ++i) repeats += stream[i] == (palette ? stream[i - 1] : 0);
    return unsigned(repeats * 1000 / (size - 1));
}

void PutHead(const Source& source, const PngLayout& layout, const torva_png_options& options, Encoded& encoded) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::memcpy(encoded.head, kSignature, 8);
    encoded.headSize = 8;
    uint8_t header[13];
    Put32(Put32(header, source.width), source.height);
    header[8] = layout.bitDepth;
    header[9] = layout.colourType;
    header[10] = header[11] = header[12] = 0;  // deflate, adaptive filtering, no interlace
    PutChunk(encoded, "IHDR", header, sizeof header);
    if (layout.paletteEntries > 0) PutChunk(encoded, "PLTE", layout.palette, 3 * layout.paletteEntries);
    if (layout.alphaEntries > 0) PutChunk(encoded, "tRNS", layout.alpha, layout.alphaEntries);
    if (options.has_position) {
        // oFFs: x and y as signed 32-bit numbers, then the unit (0: pixels).
        uint8_t position[9];
        Put32(Put32(position, uint32_t(options.x)), uint32_t(options.y));
        position[8] = 0;
        PutChunk(encoded, "oFFs", position, sizeof position);
    }
}

const uint8_t kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

}  // namespace

int DeflateLevel(int level) {
    switch (level) {
    case TORVA_PNG_LEVEL_FAST: return 1;
    case TORVA_PNG_LEVEL_BEST: return 12;
    default: return 7;
    }
}

// Measured beside ImageMagick on the conversion benchmark's pictures
// (bench/README.md), whose flat art repeats 92 to 98 % of its bytes, 16-bit
// and palette photographs 40 to 75 % and true-colour photographs 9 to 12 %:
// - flat art needs level 7 to come out no larger than ImageMagick's, and
//   takes little time at it, its matches being long;
// - palette photographs are as small at level 6 in half the time;
// - true-colour photographs come out the same size at every level from 2
//   to 9 (their filtered rows are noise, coded mostly as literals), so they
//   take level 2, the fastest of those;
// - between them, photographs of few levels a channel (16-bit colour) are
//   some 15 % smaller than ImageMagick's from level 2 on; level 4 keeps a
//   margin for pictures that are flatter than those at a fifth of level 7's
//   time.
int ChooseDeflateLevel(bool palette, unsigned repeatedPermille) {
    constexpr unsigned kFlat = 850, kNoise = 300;
    if (repeatedPermille >= kFlat) return 7;
    if (palette) return 6;
    return repeatedPermille < kNoise ? 2 : 4;
}

torva_png_status Encode(const Source& source, int deflateLevel, const torva_png_options& options,
                        Encoded& encoded) {
    const std::unique_ptr<PngLayout> layoutHolder(new (std::nothrow) PngLayout);
    if (!layoutHolder) return TORVA_PNG_OUT_OF_MEMORY;
    PngLayout& layout = *layoutHolder;
    const torva_png_status chosen = ChoosePngLayout(source, layout);
    if (chosen != TORVA_PNG_OK) return chosen;
    const uint64_t streamSize = (uint64_t(layout.rowBytes) + 1) * source.height;
    const Buffer stream = FilteredRows(source, layout, streamSize);
    if (!stream) return TORVA_PNG_OUT_OF_MEMORY;
    if (deflateLevel == kAdaptiveLevel) {
        deflateLevel = ChooseDeflateLevel(!layout.filtered, RepeatedPermille(stream.get(), size_t(streamSize),
                                                                              !layout.filtered));
    }
    encoded.deflateLevel = deflateLevel;
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(deflateLevel));
    if (!compressor) return TORVA_PNG_OUT_OF_MEMORY;
    // Not zero-filled: on flat art only the first pages of the bound are
    // ever touched.
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size_t(streamSize));
    encoded.packed = Allocate(bound, false);
    if (!encoded.packed) return TORVA_PNG_OUT_OF_MEMORY;
    encoded.packedSize =
        libdeflate_zlib_compress(compressor.get(), stream.get(), size_t(streamSize), encoded.packed.get(), bound);
    if (encoded.packedSize == 0) return TORVA_PNG_OUT_OF_MEMORY;
    PutHead(source, layout, options, encoded);
    return TORVA_PNG_OK;
}

uint64_t FileSize(const Encoded& encoded) {
    const uint64_t chunks = (encoded.packedSize + kMaxIdatBytes - 1) / kMaxIdatBytes;
    return encoded.headSize + encoded.packedSize + 12 * chunks + sizeof kEnd;
}

torva_png_status Emit(const Encoded& encoded, torva_png_write_fn write, void* context) {
    if (!write(context, encoded.head, encoded.headSize)) return TORVA_PNG_WRITE_FAILED;
    for (size_t at = 0; at < encoded.packedSize; at += kMaxIdatBytes) {
        const size_t size = std::min(kMaxIdatBytes, encoded.packedSize - at);
        const uint8_t* body = encoded.packed.get() + at;
        uint8_t lead[8];
        Put32(lead, uint32_t(size));
        std::memcpy(lead + 4, "IDAT", 4);
        uint8_t crc[4];
        Put32(crc, libdeflate_crc32(libdeflate_crc32(0, lead + 4, 4), body, size));
        if (!write(context, lead, 8) || !write(context, body, size) || !write(context, crc, 4)) {
            return TORVA_PNG_WRITE_FAILED;
        }
    }
    return write(context, kEnd, sizeof kEnd) ? TORVA_PNG_OK : TORVA_PNG_WRITE_FAILED;
}

}  // namespace torva_png
