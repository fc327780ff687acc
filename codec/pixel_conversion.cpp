// Expansion of mask-described 16-bit pixels into 24-bit or 32-bit bitmap
// pixels, and the in-place reversal of row order.
#include "codec/pixel_conversion.h"

#include <cstddef>
#include <cstring>

#include "plugin/checked_size.h"

namespace {

// One output byte's channel: where its bits sit in the source pixel and how
// they are widened to 8 bits.
struct Channel {
    uint32_t mask;
    uint32_t shift;  // zero bits below the lowest set bit of the mask
    uint32_t bits;   // lowest to highest set bit, holes included
    // For channels of 1 to 7 bits: 0 .. 2^bits - 1 scaled to 0 .. 255 with
    // rounding, so that full intensity stays 255 and zero stays 0.
    unsigned char table[128];
};

void PrepareChannel(Channel& channel, uint32_t mask) {
    channel.mask = mask;
    if (mask == 0) {
        // An absent channel: always 0, taken as 8 bits so that no scaling applies.
        channel.shift = 0;
        channel.bits = 8;
        return;
    }
    channel.shift = static_cast<uint32_t>(__builtin_ctz(mask));
    channel.bits = 32 - static_cast<uint32_t>(__builtin_clz(mask >> channel.shift));
    if (channel.bits <= 7) {
        const uint32_t max = (uint32_t{1} << channel.bits) - 1;
        for (uint32_t j = 0; j <= max; ++j) {
            channel.table[j] = static_cast<unsigned char>(((max >> 1) + 255 * j) / max);
        }
    }
}

inline unsigned char Widen(const Channel& channel, uint32_t pixel) {
    // (pixel & mask) >> shift is below 2^bits, so a table index stays below 128.
    const uint32_t value = (pixel & channel.mask) >> channel.shift;
    if (channel.bits <= 7) return channel.table[value];
    if (channel.bits == 8) return static_cast<unsigned char>(value);
    return static_cast<unsigned char>(value >> (channel.bits - 8));
}

template <size_t BytesPerPixel>
void ConvertRow(unsigned char* to, const unsigned char* from, uint32_t width, const Channel* channels) {
    for (uint32_t i = 0; i < width; ++i) {
        const uint32_t pixel = static_cast<uint32_t>(from[0] | from[1] << 8);
        for (size_t c = 0; c < BytesPerPixel; ++c) to[c] = Widen(channels[c], pixel);
        from += 2;
        to += BytesPerPixel;
    }
}

}  // namespace

void ConvertMaskedPixels(unsigned char* destination, const unsigned char* source, uint32_t width, int32_t height,
                         uint32_t sourceSize, ChannelMasks& masks, uint32_t sourceBits) {
    // The alpha byte is present whenever an alpha mask is given; the full
    // 16-bit mask is the caller's signal that the byte is filled in later
    // from a separate plane, so it is written as 0 here.
    const size_t bytesPerPixel = masks.alphaMask != 0 ? 4 : 3;
    if (masks.alphaMask == 0xFFFF) masks.alphaMask = 0;

    Channel channels[4];
    PrepareChannel(channels[0], masks.blueMask);
    PrepareChannel(channels[1], masks.greenMask);
    PrepareChannel(channels[2], masks.redMask);
    PrepareChannel(channels[3], masks.alphaMask);

    if (sourceBits != 16 || width == 0 || height <= 0) return;

    // The source is read from its end backwards, one row per destination row,
    // so top-down rows come out bottom-up. A source smaller than the rows
    // asked for gives only the rows that lie wholly inside it: the rest of the
    // destination is left as it was, and nothing before `source` is read.
    const uint64_t sourceStride = torva::RowStride(width, 16);
    const uint64_t destinationStride = torva::RowStride(width, bytesPerPixel * 8);
    uint64_t rows = sourceSize / sourceStride;
    if (rows > static_cast<uint64_t>(height)) rows = static_cast<uint64_t>(height);

    for (uint64_t j = 0; j < rows; ++j) {
        const unsigned char* from = source + static_cast<size_t>(sourceSize - (j + 1) * sourceStride);
        unsigned char* to = destination + static_cast<size_t>(j * destinationStride);
        if (bytesPerPixel == 4) {
            ConvertRow<4>(to, from, width, channels);
        } else {
            ConvertRow<3>(to, from, width, channels);
        }
    }
}

void FlipRows(unsigned char* data, uint32_t rowBytes, int32_t rowCount) {
    if (rowCount <= 1 || rowBytes == 0) return;
    // Rows are swapped through a small fixed buffer, a piece at a time, so no
    // row-sized temporary is needed however wide the rows are.
    unsigned char piece[256];
    const size_t bytes = rowBytes;
    size_t top = 0;
    size_t bottom = static_cast<size_t>(rowCount - 1) * bytes;
    for (int32_t r = 0; r < rowCount / 2; ++r) {
        for (size_t done = 0; done < bytes; done += sizeof piece) {
            const size_t n = bytes - done < sizeof piece ? bytes - done : sizeof piece;
            std::memcpy(piece, data + top + done, n);
            std::memcpy(data + top + done, data + bottom + done, n);
            std::memcpy(data + bottom + done, piece, n);
        }
        top += bytes;
        bottom -= bytes;
    }
}
