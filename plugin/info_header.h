// The bitmap info header through which the decoders learn a picture's
// geometry: width, height (positive: rows bottom-up), bits per pixel and the
// byte size of the pixel area.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/winapi.h"

inline BITMAPINFOHEADER MakeInfoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t sizeImage) {
    BITMAPINFOHEADER header;
    std::memset(&header, 0, sizeof header);
    header.biSize = 40;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biCompression = 0;
    header.biSizeImage = sizeImage;
    return header;
}
