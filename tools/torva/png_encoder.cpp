#include "tools/torva/png_encoder.h"

#include <emmintrin.h>
#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "tools/torva/png_filter.h"
#include "tools/torva/png_rows.h"

namespace torva {
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

void Put32(std::string& out, uint32_t value) {
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    out.append(bytes, 4);
}

void PutChunk(std::string& out, const char type[4], const uint8_t* body, size_t size) {
    Put32(out, uint32_t(size));
    out.append(type, 4);
    if (size > 0) out.append(reinterpret_cast<const char*>(body), size);
    const size_t typeAt = out.size() - size - 4;
    Put32(out, libdeflate_crc32(0, out.data() + typeAt, size + 4));
}

// A chunk's length field is 31 bits; larger image data is split over
// several IDAT chunks, which readers join again.
constexpr size_t kMaxIdatBytes = size_t(1) << 30;

// The rows with their filter types, as the image data's uncompressed stream.
// A row whose stored bytes repeat the row above has the same samples, which
// are copied rather than computed again (flat art repeats most of its rows).
Buffer FilteredRows(const BitmapView& bitmap, const PngLayout& layout, uint64_t size) {
    Buffer stream = Allocate(size, false);
    const size_t lineBytes = kFilterLead + layout.rowBytes;
    Buffer lines = Allocate(2 * uint64_t(lineBytes), true);
    if (!stream || !lines) return nullptr;
    uint8_t* current = lines.get() + kFilterLead;
    uint8_t* prior = current + lineBytes;  // zeros: the row above the first
    uint8_t* out = stream.get();
    const size_t sourceBytes = size_t((uint64_t(bitmap.width()) * bitmap.bitCount() + 7) / 8);
    for (uint32_t y = 0; y < bitmap.height(); ++y, out += layout.rowBytes + 1) {
        const bool repeated = y > 0 && std::memcmp(bitmap.row(y), bitmap.row(y - 1), sourceBytes) == 0;
        if (layout.colourType == 3) {
            out[0] = 0;
            if (repeated) {
                std::memcpy(out + 1, out - layout.rowBytes, layout.rowBytes);
            } else {
                PngRowSamples(bitmap, layout, y, out + 1);
            }
            continue;
        }
        if (repeated) {
            std::memcpy(current, prior, layout.rowBytes);
        } else {
            PngRowSamples(bitmap, layout, y, current);
        }
        FilterRow(current, prior, layout.rowBytes, layout.pixelBytes, layout.withAverage, out);
        std::swap(current, prior);
    }
    return stream;
}

// Thousandths of the image data's bytes that repeat what comes before them:
// zeros after the filters in colour pictures, bytes equal to the byte before
// in palette pictures (which are not filtered). Flat art repeats most of its
// bytes; photographs, whose filtered rows are noise, few.
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

constexpr int kAdaptive = -1;

// The level the content calls for, when none is given: see ChooseDeflateLevel.
int AdaptiveLevel(const PngLayout& layout, const uint8_t* stream, size_t size) {
    return ChooseDeflateLevel(layout.colourType == 3, RepeatedPermille(stream, size, layout.colourType == 3));
}

bool OutOfMemory(std::string& error) {
    error = "not enough memory to write the picture as PNG";
    return false;
}

bool Encode(const BitmapView& bitmap, int deflateLevel, std::string& png, std::string& error, int* levelUsed) {
    const std::unique_ptr<PngLayout> layoutHolder(new (std::nothrow) PngLayout);
    if (!layoutHolder) return OutOfMemory(error);
    PngLayout& layout = *layoutHolder;
    ChoosePngLayout(bitmap, layout);
    const uint64_t streamSize = (uint64_t(layout.rowBytes) + 1) * bitmap.height();
    const Buffer stream = FilteredRows(bitmap, layout, streamSize);
    if (!stream) return OutOfMemory(error);
    if (deflateLevel == kAdaptive) deflateLevel = AdaptiveLevel(layout, stream.get(), size_t(streamSize));
    if (levelUsed != nullptr) *levelUsed = deflateLevel;
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(deflateLevel));
    if (!compressor) return OutOfMemory(error);

    uint8_t header[13];
    const uint32_t size[2] = {bitmap.width(), bitmap.height()};
    for (int i = 0; i < 8; ++i) header[i] = uint8_t(size[i / 4] >> (24 - 8 * (i % 4)));
    header[8] = layout.bitDepth;
    header[9] = layout.colourType;
    header[10] = header[11] = header[12] = 0;  // deflate, adaptive filtering, no interlace

    uint8_t palette[256 * 3];
    for (size_t i = 0; i < layout.paletteEntries; ++i) {
        const Rgb& c = layout.palette[i];
        palette[3 * i] = c.red;
        palette[3 * i + 1] = c.green;
        palette[3 * i + 2] = c.blue;
    }

    // Not zero-filled: on flat art only the first pages of the bound are
    // ever touched.
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size_t(streamSize));
    const Buffer packed = Allocate(bound, false);
    const size_t packedSize =
        packed ? libdeflate_zlib_compress(compressor.get(), stream.get(), size_t(streamSize), packed.get(), bound)
               : 0;
    if (packedSize == 0) return OutOfMemory(error);
    const size_t idatChunks = (packedSize + kMaxIdatBytes - 1) / kMaxIdatBytes;
    try {
        png.clear();
        png.reserve(8 + 25 + 12 + sizeof palette + 12 + layout.alphaEntries + packedSize + 12 * idatChunks + 12);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(error);
    }
    png.assign("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header, sizeof header);
    if (layout.paletteEntries > 0) PutChunk(png, "PLTE", palette, 3 * layout.paletteEntries);
    if (layout.alphaEntries > 0) PutChunk(png, "tRNS", layout.alpha, layout.alphaEntries);
    for (size_t at = 0; at < packedSize; at += kMaxIdatBytes) {
        PutChunk(png, "IDAT", packed.get() + at, std::min(kMaxIdatBytes, packedSize - at));
    }
    PutChunk(png, "IEND", nullptr, 0);
    return true;
}

}  // namespace

int DeflateLevel(PngLevel level) {
    switch (level) {
    case PngLevel::Fast: return 1;
    case PngLevel::Best: return 12;
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

bool EncodePng(const BitmapView& bitmap, PngLevel level, std::string& png, std::string& error, int* levelUsed) {
    return Encode(bitmap, level == PngLevel::Default ? kAdaptive : DeflateLevel(level), png, error, levelUsed);
}

bool EncodePngAtDeflateLevel(const BitmapView& bitmap, int deflateLevel, std::string& png, std::string& error) {
    if (deflateLevel < 0 || deflateLevel > 12) {
        error = "no compression level " + std::to_string(deflateLevel);
        return false;
    }
    return Encode(bitmap, deflateLevel, png, error, nullptr);
}

}  // namespace torva
