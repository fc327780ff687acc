#include "png/png_encoder.h"

#include <emmintrin.h>
#include <libdeflate.h>
#include <zlib.h>

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

// Filters every row of an unfiltered stream with Up, in place: from the
// bottom row up, so that each row is taken from the one above before that
// one changes.
void FilterWithUp(uint8_t* stream, size_t rowBytes, uint32_t height) {
    const size_t line = rowBytes + 1;
    for (uint32_t y = height; y-- > 0;) {
        uint8_t* row = stream + size_t(y) * line;
        row[0] = 2;
        if (y == 0) break;  // Up of the first row leaves it as it is
        const uint8_t* above = row - line;
        for (size_t i = 1; i <= rowBytes; ++i) row[i] = uint8_t(row[i] - above[i]);
    }
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

torva_png_status CompressWithLibdeflate(int level, const uint8_t* stream, size_t size, Encoded& encoded) {
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(libdeflate_alloc_compressor(level));
    if (!compressor) return TORVA_PNG_OUT_OF_MEMORY;
    // Not zero-filled: on flat art only the first pages of the bound are
    // ever touched.
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size);
    Buffer packed = Allocate(bound, false);
    if (!packed) return TORVA_PNG_OUT_OF_MEMORY;
    const size_t packedSize = libdeflate_zlib_compress(compressor.get(), stream, size, packed.get(), bound);
    if (packedSize == 0) return TORVA_PNG_OUT_OF_MEMORY;
    encoded.packed = std::move(packed);
    encoded.packedSize = packedSize;
    return TORVA_PNG_OK;
}

struct DeflateEnd {
    void operator()(z_stream* stream) const { deflateEnd(stream); }
};

// zlib takes and gives at most 4 GiB a call: larger streams go in pieces.
constexpr size_t kZlibPiece = size_t(1) << 30;

torva_png_status CompressWithZlib(int level, bool literalsOnly, const uint8_t* stream, size_t size,
                                  Encoded& encoded) {
    z_stream z{};
    // The largest window and the largest blocks (memory level 9): the
    // literals' codes follow the data more closely in larger blocks.
    if (deflateInit2(&z, level, Z_DEFLATED, 15, 9, literalsOnly ? Z_HUFFMAN_ONLY : Z_DEFAULT_STRATEGY) != Z_OK) {
        return TORVA_PNG_OUT_OF_MEMORY;
    }
    const std::unique_ptr<z_stream, DeflateEnd> holder(&z);
    const uint64_t bound = uint64_t(size) + size / 1000 + (uint64_t(size) / kZlibPiece + 1) * 64 + 1024;
    Buffer packed = Allocate(bound, false);
    if (!packed) return TORVA_PNG_OUT_OF_MEMORY;
    size_t taken = 0, written = 0;
    for (;;) {
        const size_t in = std::min(kZlibPiece, size - taken), out = std::min(kZlibPiece, size_t(bound) - written);
        z.next_in = const_cast<Bytef*>(stream + taken);
        z.avail_in = uInt(in);
        z.next_out = packed.get() + written;
        z.avail_out = uInt(out);
        const bool last = taken + in == size;
        const int result = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        taken += in - z.avail_in;
        written += out - z.avail_out;
        if (result == Z_STREAM_END) break;
        if (result != Z_OK && result != Z_BUF_ERROR) return TORVA_PNG_OUT_OF_MEMORY;
        if (written == size_t(bound)) return TORVA_PNG_OUT_OF_MEMORY;  // past the bound: cannot happen
    }
    encoded.packed = std::move(packed);
    encoded.packedSize = written;
    return TORVA_PNG_OK;
}

torva_png_status Compress(const Method& method, const uint8_t* stream, size_t size, Encoded& encoded) {
    if (method.coder == Method::kLibdeflate) return CompressWithLibdeflate(method.level, stream, size, encoded);
    return CompressWithZlib(method.level, method.coder == Method::kZlibLiterals, stream, size, encoded);
}

// Whether matches make the image data smaller than literals alone, judged
// on a few slices of it spread over the picture: noise that repeats has
// few zeros after the filters but long matches. Sizes are compared, not
// estimated, so that every build decides alike.
torva_png_status MatchesPay(const uint8_t* stream, size_t size, bool& pay) {
    constexpr size_t kSlices = 4, kSliceBytes = 32 * 1024;
    const Method fast{Method::kLibdeflate, 1}, literals{Method::kZlibLiterals, 9};
    uint64_t withMatches = 0, alone = 0;
    for (size_t i = 0; i < kSlices; ++i) {
        const size_t length = std::min(kSliceBytes, size / kSlices);
        if (length == 0) break;
        const uint8_t* slice = stream + (size - length) / (kSlices - 1) * i;
        for (const Method* method : {&fast, &literals}) {
            Encoded trial;
            const torva_png_status status = Compress(*method, slice, length, trial);
            if (status != TORVA_PNG_OK) return status;
            (method == &fast ? withMatches : alone) += trial.packedSize;
        }
    }
    pay = withMatches < alone;
    return TORVA_PNG_OK;
}

}  // namespace

// Measured beside ImageMagick on the conversion benchmark's pictures
// (bench/README.md), whose flat art repeats 92 to 98 % of its bytes, 16-bit
// and palette photographs 40 to 75 % and true-colour photographs 9 to 12 %:
// - flat art (there all of it written with a palette, its rows filtered
//   with Up) needs libdeflate's level 8 to come out no larger than
//   ImageMagick's where its palette is long (8-bit PMS: 16 colours spread
//   over 256 entries), and takes little time at it, its matches being long;
// - palette photographs need level 7 (level 6 is 0.3 % larger than
//   ImageMagick's on 8-bit PMS);
// - colour photographs: their filtered rows are noise, which libdeflate's
//   levels 2 to 9 code mostly as literals (on true colour, all with the same
//   bytes); zlib coding literals alone, in its largest blocks, comes out
//   smaller (1.5 % on true colour, 10 % on 16-bit colour) in half level 2's
//   time. Where a fair share of the filtered bytes are zeros (from 30 %:
//   16-bit colour, or a photograph with flat parts), or where samples show
//   that matches pay (noise that repeats), libdeflate's level 4 is tried
//   beside it and the smaller kept.
// Best tries libdeflate's level 12 (near-optimal parsing) beside zlib's
// level 9, which does better on some flat art, or beside zlib's literals on
// colour photographs.
size_t ChooseMethods(int level, const Content& content, Method out[2]) {
    const bool flat = content.repeatedPermille >= kFlatPermille;
    const bool photograph = !content.palette && !flat;
    const Method literals{Method::kZlibLiterals, 9};
    if (level == TORVA_PNG_LEVEL_FAST) {
        out[0] = Method{Method::kLibdeflate, 1};
        return 1;
    }
    if (level == TORVA_PNG_LEVEL_BEST) {
        out[0] = Method{Method::kLibdeflate, 12};
        out[1] = photograph ? literals : Method{Method::kZlib, 9};
        return 2;
    }
    if (flat) {
        out[0] = Method{Method::kLibdeflate, 8};
        return 1;
    }
    if (content.palette) {
        out[0] = Method{Method::kLibdeflate, 7};
        return 1;
    }
    out[0] = literals;
    if (content.repeatedPermille < kNoisePermille && !content.matchesPay) return 1;
    out[1] = Method{Method::kLibdeflate, 4};
    return 2;
}

torva_png_status Encode(const Source& source, int level, const Method* method, const torva_png_options& options,
                        Encoded& encoded) {
    const std::unique_ptr<PngLayout> layoutHolder(new (std::nothrow) PngLayout);
    if (!layoutHolder) return TORVA_PNG_OUT_OF_MEMORY;
    PngLayout& layout = *layoutHolder;
    const torva_png_status chosen = ChoosePngLayout(source, layout);
    if (chosen != TORVA_PNG_OK) return chosen;
    const uint64_t streamSize = (uint64_t(layout.rowBytes) + 1) * source.height;
    const Buffer stream = FilteredRows(source, layout, streamSize);
    if (!stream) return TORVA_PNG_OUT_OF_MEMORY;
    const bool palette = !layout.filtered;
    const unsigned repeated = RepeatedPermille(stream.get(), size_t(streamSize), palette);
    // Palette rows are indices, for which the filters' arithmetic means
    // nothing, except that Up turns what repeats the row above into zeros:
    // flat art's shapes span rows, which then compress to a third less.
    encoded.upFiltered = palette && repeated >= kFlatPermille;
    if (encoded.upFiltered) FilterWithUp(stream.get(), layout.rowBytes, source.height);
    Content content;
    content.palette = palette;
    content.repeatedPermille = repeated;
    if (method == nullptr && level == TORVA_PNG_LEVEL_DEFAULT && !palette && repeated < kNoisePermille) {
        const torva_png_status sampled = MatchesPay(stream.get(), size_t(streamSize), content.matchesPay);
        if (sampled != TORVA_PNG_OK) return sampled;
    }
    Method methods[2];
    size_t count = 1;
    if (method != nullptr) {
        methods[0] = *method;
    } else {
        count = ChooseMethods(level, content, methods);
    }
    for (size_t i = 0; i < count; ++i) {
        Encoded trial;
        const torva_png_status status = Compress(methods[i], stream.get(), size_t(streamSize), trial);
        if (status != TORVA_PNG_OK) return status;
        if (i == 0 || trial.packedSize < encoded.packedSize) {
            encoded.packed = std::move(trial.packed);
            encoded.packedSize = trial.packedSize;
            encoded.method = methods[i];
        }
    }
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
