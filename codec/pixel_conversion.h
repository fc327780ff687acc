// Pixel packing, all in one place: 16-bit rows into 24-bit or 32-bit bitmap
// rows, 5-6-5 into 5-5-5, an 8-bit alpha plane merged into 32-bit pixels, and
// the in-place reversal of row order.
#pragma once

#include <cstddef>
#include <cstdint>

// Channel masks in output byte order: blue drives byte 0, green byte 1, red
// byte 2, alpha byte 3.
struct ChannelMasks {
    uint32_t blueMask;
    uint32_t greenMask;
    uint32_t redMask;
    uint32_t alphaMask;
};

// Expands `height` rows of `width` 16-bit pixels (top-down, stride(16) bytes
// per row; the first row read is the one that starts at source + sourceSize -
// stride) into bottom-up rows of 3 bytes per pixel, or 4 when alphaMask is not
// 0. An alphaMask of 0xFFFF is cleared in `masks` (the fourth byte is then 0).
// Only sourceBits 16 converts anything.
void ConvertMaskedPixels(unsigned char* destination, const unsigned char* source, uint32_t width, int32_t height,
                         uint32_t sourceSize, ChannelMasks& masks, uint32_t sourceBits);

// The same into destination rows `destinationStride` bytes apart (at least
// the 3 or 4 bytes a pixel of a row; nothing past a row's pixels is written).
void ConvertMaskedRows(unsigned char* destination, size_t destinationStride, const unsigned char* source,
                       uint32_t width, int32_t height, uint32_t sourceSize, ChannelMasks& masks, uint32_t sourceBits);

// Reverses the order of `rowCount` rows of `rowBytes` bytes in place.
void FlipRows(unsigned char* data, uint32_t rowBytes, int32_t rowCount);

// 5-6-5 to 5-5-5 (red and green move down one bit, green loses its lowest)
// of the first `rowBytes` bytes of `rows` rows, source rows `sourceStride`
// and target rows `targetStride` bytes apart, with source row r going to
// target row rows - 1 - r. Source and target must not overlap.
void Repack565To555BottomUp(const unsigned char* source, size_t sourceStride, unsigned char* target,
                            size_t targetStride, uint32_t rowBytes, uint32_t rows);

// Puts alpha[c] of each alpha row (rows of `alphaStride` bytes) into byte 3 of
// pixel c of the same row of `pixels` (packed rows of 4 x width bytes); the
// other bytes keep their values.
void MergeAlphaRows(unsigned char* pixels, const unsigned char* alpha, size_t alphaStride, uint32_t width,
                    uint32_t rows);
