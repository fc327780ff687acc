// Every stream, palette and table handed to a decoder is found through the
// parsed header and proven to lie inside the supplied bytes by the decoder
// itself; a part that does not is simply not decoded (its pixels or colours
// stay zero), as with any other damaged data, and its status says so.
#include "codec/picture_pixels.h"

#include "base/checked_size.h"
#include "base/heap_buffer.h"
#include "codec/pixel_conversion.h"
#include "codec/pms_decoder.h"
#include "codec/qnt_decoder.h"
#include "codec/vsp_decoder.h"

namespace {

using torva::ByteSpan;
using torva::DecodeResult;
using torva::DecodeStatus;
using torva::PixelSpan;
using torva::RowStride;

uint32_t Stride(uint32_t width, uint32_t bits) { return static_cast<uint32_t>(RowStride(width, bits)); }

// The first status that is not Complete, with the pixels of that step.
DecodeResult Worse(DecodeResult first, DecodeResult second) {
    return first.status != DecodeStatus::Complete ? first : second;
}

DecodeResult BuildQnt(const QntHeader& qnt, ByteSpan file, uint32_t w, uint32_t h, uint32_t depth,
                      Damaged damaged, const PixelSpan& out) {
    // The bitmap holds the low 16 bits of the stored width and height, while
    // the decoders work from the full values. A picture of 65536 or more
    // pixels in either direction cannot be a bitmap of this size: left blank.
    if (static_cast<uint32_t>(qnt.width) != w || static_cast<uint32_t>(qnt.height) != h) {
        return torva::Failed(DecodeStatus::TooLarge);
    }
    if (damaged == Damaged::Recover) {
        return depth == 24 ? torva::DecodeQnt24Recovering(qnt, file, out)
                           : torva::DecodeQnt32Recovering(qnt, file, out);
    }
    return depth == 24 ? torva::DecodeQnt24(qnt, file, out) : torva::DecodeQnt32(qnt, file, out);
}

BuiltPixels BuildPms16(const PmsHeader& pms, ByteSpan file, uint32_t w, uint32_t h, bool fullColour16,
                       PixelRows rows, unsigned char* pixels) {
    // The decoder's own rows are always those of a 16-bit bitmap.
    const uint32_t stride16 = Stride(w, 16);
    const uint32_t sourceBytes = stride16 * h;  // at most 4 x w x h, inside the block's bound
    BuiltPixels built{true, torva::Failed(DecodeStatus::OutOfMemory), 16, sourceBytes};

    torva::HeapBuffer scratch;
    if (!scratch.allocate(sourceBytes)) {
        built.built = false;
        return built;
    }
    built.decode = torva::DecodePms16(pms, file, PixelSpan{scratch.data(), stride16, h});

    if (!fullColour16) {
        // Bitmap rows take the padding pixel of an odd width along.
        const uint32_t rowBytes = rows == PixelRows::Padded ? stride16 : 2 * w;
        Repack565To555BottomUp(scratch.data(), stride16, pixels, RowStrideOf(rows, w, 16), rowBytes, h);
        return built;
    }

    const bool hasAlpha = pms.extraOffset != 0;
    ChannelMasks masks{0x001F, 0x07E0, 0xF800, hasAlpha ? 0xFFFFu : 0u};
    built.bitCount = hasAlpha ? 32 : 24;
    ConvertMaskedRows(pixels, RowStrideOf(rows, w, built.bitCount), scratch.data(), w, static_cast<int32_t>(h),
                      sourceBytes, masks, 16);
    built.sizeImage = Stride(w, built.bitCount) * h;
    // The 16-bit pixels are converted: their scratch is given back before the
    // alpha plane takes its own, so the two are never held together.
    scratch.release();

    if (hasAlpha) {
        // The alpha plane is an 8-bit stream decoded into its own bottom-up
        // rows of the plane's own 8-bit geometry, then merged into byte 3
        // (32-bit rows have no padding either way).
        const uint32_t stride8 = Stride(w, 8);
        torva::HeapBuffer alpha;
        if (!alpha.allocate(stride8 * h + 256)) {
            built.built = false;
            return built;
        }
        const DecodeResult plane =
            torva::DecodePms8(pms, file, torva::PmsStream::Alpha, PixelSpan{alpha.data(), stride8, h});
        MergeAlphaRows(pixels, alpha.data(), stride8, w, h);
        built.decode = Worse(built.decode, plane);
    }
    return built;
}

}  // namespace

size_t RowStrideOf(PixelRows rows, uint32_t width, uint32_t bits) {
    const uint64_t packed = (uint64_t{width} * bits + 7) / 8;
    return static_cast<size_t>(rows == PixelRows::Padded ? RowStride(width, bits) : packed);
}

uint32_t BitmapDepth(const torva::PictureHeader& header, uint32_t reportedDepth) {
    if (header.format == torva::Format::Pms && reportedDepth != 8) return 16;
    return reportedDepth;
}

uint32_t BitmapPixelOffset(uint32_t depth) { return 14 + 40 + (depth == 4 ? 64 : 0) + (depth == 8 ? 1024 : 0); }

// Width and height are 16-bit, so the product needs 64 bits (65535 x 65535 x
// 4 is about 16 GiB).
uint64_t BitmapBlockBytes(uint32_t depth, uint32_t width, uint32_t height) {
    return uint64_t{BitmapPixelOffset(depth)} + uint64_t{4} * width * height;
}

BuiltPixels BuildPicturePixels(const torva::PictureHeader& header, ByteSpan file, uint32_t w, uint32_t h,
                               uint32_t depth, bool fullColour16, PixelRows rows, Damaged damaged,
                               unsigned char* colourTable, unsigned char* pixels) {
    BuiltPixels built{true, torva::Failed(DecodeStatus::Corrupt), static_cast<uint16_t>(depth),
                      Stride(w, depth) * h};
    const PixelSpan out{pixels, RowStrideOf(rows, w, depth), h};
    switch (header.format) {
        case torva::Format::Qnt:
            built.decode = BuildQnt(header.qnt, file, w, h, depth, damaged, out);
            break;
        case torva::Format::Pms: {
            // The decoders work to the bitmap's geometry, the low 16 bits of
            // the stored width and height, as the information reports them.
            PmsHeader pms = header.pms;
            pms.width = static_cast<int32_t>(w);
            pms.height = static_cast<int32_t>(h);
            if (depth != 8) return BuildPms16(pms, file, w, h, fullColour16, rows, pixels);
            const DecodeStatus palette = torva::ReadPmsPalette(pms, file, colourTable);
            const DecodeResult decoded = torva::DecodePms8(pms, file, torva::PmsStream::Pixels, out);
            built.decode = palette != DecodeStatus::Complete ? DecodeResult{palette, decoded.pixelsProduced} : decoded;
            break;
        }
        case torva::Format::Vsp: {
            // A file too short for its palette keeps a black colour table; its
            // plane stream is then empty as well.
            const DecodeStatus palette = torva::ReadVspPalette(file, colourTable);
            const DecodeResult decoded = torva::DecodeVspPlanes(header.vsp, file, out);
            built.decode = palette != DecodeStatus::Complete ? DecodeResult{palette, decoded.pixelsProduced} : decoded;
            break;
        }
        default:
            break;  // not recognised: no pixels
    }
    return built;
}
