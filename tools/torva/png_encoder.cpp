#include "tools/torva/png_encoder.h"

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

// A zero-filled buffer, or null when memory is short.
Buffer Allocate(uint64_t size) {
    if (size > std::numeric_limits<size_t>::max() / 2) return nullptr;
    return Buffer(new (std::nothrow) uint8_t[size_t(size)]());
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
Buffer FilteredRows(const BitmapView& bitmap, const PngLayout& layout, uint64_t size) {
    Buffer stream = Allocate(size);
    const size_t lineBytes = kFilterLead + layout.rowBytes;
    Buffer lines = Allocate(2 * uint64_t(lineBytes));
    if (!stream || !lines) return nullptr;
    uint8_t* current = lines.get() + kFilterLead;
    uint8_t* prior = current + lineBytes;  // zeros: the row above the first
    uint8_t* out = stream.get();
    for (uint32_t y = 0; y < bitmap.height(); ++y, out += layout.rowBytes + 1) {
        if (layout.colourType == 3) {
            out[0] = 0;
            PngRowSamples(bitmap, layout, y, out + 1);
            continue;
        }
        PngRowSamples(bitmap, layout, y, current);
        FilterRow(current, prior, layout.rowBytes, layout.pixelBytes, layout.withAverage, out);
        std::swap(current, prior);
    }
    return stream;
}

}  // namespace

// Measured on photographs and flat art beside ImageMagick (bench/README.md):
// from level 7 flat art comes out smaller than ImageMagick's, while levels 2
// to 9 give photographs the same size and only take longer; 10 and up parse
// near-optimally, several times slower, and are the first to make
// photographs smaller.
int DeflateLevel(PngLevel level) {
    switch (level) {
    case PngLevel::Fast: return 1;
    case PngLevel::Best: return 12;
    default: return 7;
    }
}

bool EncodePng(const BitmapView& bitmap, PngLevel level, std::string& png, std::string& error) {
    return EncodePngAtDeflateLevel(bitmap, DeflateLevel(level), png, error);
}

bool EncodePngAtDeflateLevel(const BitmapView& bitmap, int deflateLevel, std::string& png, std::string& error) {
    if (deflateLevel < 0 || deflateLevel > 12) {
        error = "no compression level " + std::to_string(deflateLevel);
        return false;
    }
    const std::unique_ptr<PngLayout> layoutHolder(new (std::nothrow) PngLayout);
    if (!layoutHolder) {
        error = "not enough memory to write the picture as PNG";
        return false;
    }
    PngLayout& layout = *layoutHolder;
    ChoosePngLayout(bitmap, layout);
    const uint64_t streamSize = (uint64_t(layout.rowBytes) + 1) * bitmap.height();
    const Buffer stream = FilteredRows(bitmap, layout, streamSize);
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(deflateLevel));
    if (!stream || !compressor) {
        error = "not enough memory to write the picture as PNG";
        return false;
    }
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size_t(streamSize));
    const Buffer packed = Allocate(bound);
    const size_t packedSize =
        packed ? libdeflate_zlib_compress(compressor.get(), stream.get(), size_t(streamSize), packed.get(), bound)
               : 0;
    if (packedSize == 0) {
        error = "not enough memory to write the picture as PNG";
        return false;
    }

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

    const size_t idatChunks = (packedSize + kMaxIdatBytes - 1) / kMaxIdatBytes;
    try {
        png.clear();
        png.reserve(8 + 25 + 12 + sizeof palette + 12 + layout.alphaEntries + packedSize + 12 * idatChunks + 12);
    } catch (const std::bad_alloc&) {
        error = "not enough memory to write the picture as PNG";
        return false;
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

}  // namespace torva
