// Pixel-format conversion of 16-bit rows into 24-bit or 32-bit bitmap rows,
// and the in-place reversal of row order.
#pragma once

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

// Reverses the order of `rowCount` rows of `rowBytes` bytes in place.
void FlipRows(unsigned char* data, uint32_t rowBytes, int32_t rowCount);
