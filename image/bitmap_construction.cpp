// Bitmap construction: a complete Windows bitmap file image (file header,
// info header, colour table where there is one, bottom-up rows) in one
// movable global block, built around the decoder of the image's kind.
//
// Offsets and lengths in the image headers are not trusted: every stream,
// palette and table handed to a decoder is first proven to lie inside the
// supplied bytes, and a part that does not is simply not decoded (its pixels
// or colours stay zero), as with any other damaged data.
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/info_header.h"
#include "codec/pixel_conversion.h"
#include "codec/pms_decoder.h"
#include "codec/qnt_decoder.h"
#include "codec/vsp_decoder.h"
#include "image/image_headers.h"
#include "plugin/byte_cursor.h"
#include "plugin/checked_size.h"
#include "plugin/entry_points.h"
#include "plugin/holders.h"
#include "plugin/plugin_object.h"

namespace {

using torva::RangeInside;
using torva::RowStride;

constexpr uint32_t kHeadersBytes = 14 + 40;

// The bytes of the image as supplied by the host.
struct ImageBytes {
    const unsigned char* data;
    uint32_t size;

    // Bytes from `offset` to the end, or 0 when the offset lies past it.
    uint32_t from(uint32_t offset) const { return offset <= size ? size - offset : 0; }
    // A pointer to `offset`, clamped to the end so it never leaves the span.
    const unsigned char* at(uint32_t offset) const { return data + (offset <= size ? offset : size); }
};

uint32_t Stride(const BITMAPINFOHEADER& header, uint32_t bits) {
    return static_cast<uint32_t>(RowStride(static_cast<uint32_t>(header.biWidth), bits));
}

void BuildQnt(const ImageBytes& image, const BITMAPINFOHEADER& header, unsigned char* pixels) {
    QntHeader qnt;
    if (!ParseQntHeader(image.data, image.size, &qnt)) return;
    // The bitmap holds the low 16 bits of the stored width and height, while
    // the decoders work from the full values. A picture of 65536 or more
    // pixels in either direction cannot be a bitmap of this size: left blank.
    if (static_cast<uint32_t>(qnt.width) != static_cast<uint32_t>(header.biWidth) ||
        static_cast<uint32_t>(qnt.height) != static_cast<uint32_t>(header.biHeight)) {
        return;
    }
    // Both compressed streams, one after the other, must lie inside the file.
    if (!RangeInside(qnt.colourOffset, uint64_t{qnt.colourSize} + qnt.alphaSize, image.size)) return;
    const unsigned char* colour = image.data + qnt.colourOffset;
    const unsigned char* body = image.data + qnt.bodyOffset;
    if (header.biBitCount == 24) {
        DecodeQnt24(pixels, colour, body);
    } else {
        DecodeQnt32(pixels, colour, body);
    }
}

// The palette is 256 triples of red, green, blue; the colour table wants
// blue, green, red and a zero byte. A palette that does not lie wholly inside
// the file leaves the table black.
void WritePmsColourTable(const ImageBytes& image, uint32_t paletteOffset, unsigned char* table) {
    if (!RangeInside(paletteOffset, kPmsPaletteBytes, image.size)) return;
    const unsigned char* palette = image.data + paletteOffset;
    for (int i = 0; i < 256; ++i) {
        table[4 * i + 0] = palette[3 * i + 2];
        table[4 * i + 1] = palette[3 * i + 1];
        table[4 * i + 2] = palette[3 * i + 0];
    }
}

void BuildPms8(const ImageBytes& image, const PmsHeader& pms, const BITMAPINFOHEADER& header,
               unsigned char* colourTable, unsigned char* pixels) {
    WritePmsColourTable(image, pms.extraOffset, colourTable);
    DecodePms8(pixels, image.at(pms.pixelOffset), &header, image.from(pms.pixelOffset));
}

// Length of the 16-bit colour stream. With an alpha plane the colour stream
// ends where the alpha stream begins; an alpha offset at or below the pixel
// offset would make that length wrap around, so the stream then runs to the
// end of the file, as it does when there is no alpha plane. Never past the
// end of the supplied bytes.
uint32_t Pms16ColourLength(const ImageBytes& image, const PmsHeader& pms) {
    const uint32_t toEnd = image.from(pms.pixelOffset);
    if (pms.extraOffset == 0 || pms.extraOffset < pms.pixelOffset) return toEnd;
    const uint32_t untilAlpha = pms.extraOffset - pms.pixelOffset;
    return untilAlpha < toEnd ? untilAlpha : toEnd;
}

// 5-6-5 to 5-5-5 (red and green move down one bit, green loses its lowest),
// and top-down rows to bottom-up in the same pass: source row r becomes
// target row rows - 1 - r, so the pixels are touched once rather than
// repacked and then swapped row by row. Every pixel of a row is repacked,
// the padding pixel of an odd width included.
void RepackTo555BottomUp(const unsigned char* source, unsigned char* target, uint32_t rowBytes, uint32_t rows) {
    for (uint32_t r = 0; r < rows; ++r) {
        const unsigned char* from = source + static_cast<size_t>(r) * rowBytes;
        unsigned char* to = target + static_cast<size_t>(rows - 1 - r) * rowBytes;
        uint32_t i = 0;
#if defined(__SSE2__)
        const __m128i keptLow = _mm_set1_epi16(0x001F);
        const __m128i movedDown = _mm_set1_epi16(0x7FE0);
        for (; i + 16 <= rowBytes; i += 16) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
            const __m128i q = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(p, 1), movedDown), _mm_and_si128(p, keptLow));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), q);
        }
#endif
        for (; i + 1 < rowBytes; i += 2) {
            const uint16_t p = torva::LoadLe16(from + i);
            torva::StoreLe16(to + i, static_cast<uint16_t>(((p >> 1) & 0x7FE0) | (p & 0x001F)));
        }
    }
}

// Puts alpha[c] into byte 3 of each of the `width` 4-byte pixels of `row`,
// as whole words, sixteen pixels a step where there are 16-byte vectors; the
// other bytes keep their values.
void MergeAlphaRow(unsigned char* row, const unsigned char* alpha, uint32_t width) {
    uint32_t c = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    for (; c + 16 <= width; c += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha + c));
        // Each alpha byte moved to the top byte of a 32-bit lane.
        const __m128i low = _mm_unpacklo_epi8(zero, a);   // a0..a7 in the high byte of 16-bit lanes
        const __m128i high = _mm_unpackhi_epi8(zero, a);  // a8..a15
        const __m128i lanes[4] = {_mm_unpacklo_epi16(zero, low), _mm_unpackhi_epi16(zero, low),
                                  _mm_unpacklo_epi16(zero, high), _mm_unpackhi_epi16(zero, high)};
        for (int i = 0; i < 4; ++i) {
            __m128i* at = reinterpret_cast<__m128i*>(row + 4 * (c + 4 * i));
            _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(at), colour), lanes[i]));
        }
    }
#endif
    for (; c < width; ++c) {
        uint32_t pixel;
        std::memcpy(&pixel, row + 4 * size_t{c}, 4);
        pixel = (pixel & 0x00FFFFFFu) | uint32_t{alpha[c]} << 24;
        std::memcpy(row + 4 * size_t{c}, &pixel, 4);
    }
}

int32_t BuildPms16(const ImageBytes& image, const PmsHeader& pms, BITMAPINFOHEADER& header, unsigned char* pixels,
                   int32_t mode) {
    const uint32_t w = static_cast<uint32_t>(header.biWidth);
    const uint32_t h = static_cast<uint32_t>(header.biHeight);
    const uint32_t stride16 = Stride(header, 16);
    const uint32_t sourceBytes = stride16 * h;  // at most 4 x w x h, inside the block's bound

    HeapBuffer scratch;
    if (!scratch.allocate(sourceBytes)) return OutOfMemory;
    DecodePms16(scratch.data, image.at(pms.pixelOffset), &header, Pms16ColourLength(image, pms));

    if (mode >= 0) {
        RepackTo555BottomUp(scratch.data, pixels, stride16, h);
        header.biSizeImage = sourceBytes;
        return Ok;
    }

    const bool hasAlpha = pms.extraOffset != 0;
    ChannelMasks masks{0x001F, 0x07E0, 0xF800, hasAlpha ? 0xFFFFu : 0u};
    header.biSizeImage = sourceBytes;
    header.biBitCount = hasAlpha ? 32 : 24;
    ConvertMaskedPixels(pixels, scratch.data, w, static_cast<int32_t>(h), sourceBytes, masks, 16);
    header.biSizeImage = Stride(header, header.biBitCount) * h;
    // The 16-bit pixels are converted: their scratch is given back before the
    // alpha plane takes its own, so the two are never held together.
    scratch.release();

    if (hasAlpha) {
        // The alpha plane is an 8-bit stream decoded into its own bottom-up
        // rows. The decoder is shown the plane's own 8-bit geometry, which
        // sizes its history for w x h pixels (plus its slack) rather than for
        // the 4 x w x h bytes of the 32-bit output. It stores only the w x h
        // pixels of the picture either way, so the plane is the same; what
        // changes is that the largest picture no longer needs a 256 MiB
        // history on top of its block.
        const uint32_t stride8 = Stride(header, 8);
        HeapBuffer alpha;
        if (!alpha.allocate(stride8 * h + 256)) return OutOfMemory;
        BITMAPINFOHEADER plane = header;
        plane.biBitCount = 8;
        plane.biSizeImage = stride8 * h;
        DecodePms8(alpha.data, image.at(pms.extraOffset), &plane, image.from(pms.extraOffset));
        for (uint32_t r = 0; r < h; ++r) {
            MergeAlphaRow(pixels + static_cast<size_t>(r) * w * 4, alpha.data + static_cast<size_t>(r) * stride8, w);
        }
    }
    return Ok;
}

void BuildVsp(const ImageBytes& image, const BITMAPINFOHEADER& header, unsigned char* colourTable,
              unsigned char* pixels) {
    // A file too short for its palette keeps a black colour table; its plane
    // stream is then empty as well.
    if (RangeInside(kVspPaletteOffset, kVspPaletteBytes, image.size)) {
        ReadVspPalette(colourTable, image.data + kVspPaletteOffset, 0);
    }
    DecodeVspPlanes(pixels, image.at(kVspPlaneOffset), &header, image.from(kVspPlaneOffset));
}

}  // namespace

int32_t FormatPlugin::getImage(const FileAccess* file, HGLOBAL* block, uint32_t* size, int32_t mode) {
    ImageInfo info;
    std::memset(&info, 0, sizeof info);
    *size = 0;
    const int32_t result = KRV_GetImageInfo(file, &info);
    if (result != Ok) return result;

    const uint32_t w = info.width;
    const uint32_t h = info.height;
    uint32_t depth = info.bitDepth;
    PmsHeader pms{};
    if (info.kind == ImagePms) {
        if (!ParsePmsHeader(file->data, file->dataSize, &pms)) info.kind = ImageNone;
        // A PMS depth other than 8 is built exactly as a 16-bit picture, so
        // that every size below follows from the depth actually written.
        if (depth != 8) depth = 16;
    }

    const uint32_t offBits = kHeadersBytes + (depth == 4 ? 64 : 0) + (depth == 8 ? 1024 : 0);
    // Room for the widest rows any path writes, 32 bits a pixel. Width and
    // height are 16-bit, so the product needs 64 bits (65535 x 65535 x 4 is
    // about 16 GiB) and is bounded by what one call may allocate.
    const uint64_t blockBytes = uint64_t{offBits} + uint64_t{4} * w * h;
    if (!torva::AllocationFits(blockBytes)) return OutOfMemory;

    GlobalBlock output;
    if (!output.allocate(static_cast<SIZE_T>(blockBytes))) return OutOfMemory;
    auto* base = static_cast<unsigned char*>(output.lock());
    // A fresh block that cannot be locked cannot be filled: it is released and
    // reported like any other block that cannot be provided.
    if (base == nullptr) return OutOfMemory;

    // The decoders read the geometry from this header; it is copied into the
    // block once the final sizes are known (the block offset 14 is not
    // aligned for the structure, so it is not used in place).
    BITMAPINFOHEADER header = MakeInfoHeader(static_cast<int32_t>(w), static_cast<int32_t>(h),
                                             static_cast<uint16_t>(depth),
                                             static_cast<uint32_t>(RowStride(w, depth) * h));

    const ImageBytes image{file->data + info.dataOffset, file->dataSize};
    unsigned char* colourTable = base + kHeadersBytes;
    unsigned char* pixels = base + offBits;
    switch (info.kind) {
        case ImageQnt:
            BuildQnt(image, header, pixels);
            break;
        case ImagePms:
            if (depth == 8) {
                BuildPms8(image, pms, header, colourTable, pixels);
            } else {
                const int32_t built = BuildPms16(image, pms, header, pixels, mode);
                if (built != Ok) return built;  // `output` releases the block
            }
            break;
        case ImageVsp:
            BuildVsp(image, header, colourTable, pixels);
            break;
        default:
            break;  // not recognised: the headers alone
    }

    BITMAPFILEHEADER fileHeader;
    std::memset(&fileHeader, 0, sizeof fileHeader);
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = offBits;
    fileHeader.bfSize = offBits + header.biSizeImage;
    std::memcpy(base, &fileHeader, sizeof fileHeader);
    std::memcpy(base + sizeof fileHeader, &header, sizeof header);

    *block = output.handOver();
    *size = fileHeader.bfSize;
    return Ok;
}
