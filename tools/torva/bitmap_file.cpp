#include "tools/torva/bitmap_file.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace torva {
namespace {

const size_t kFileHeaderBytes = 14;
const size_t kInfoHeaderBytes = 40;
// BITMAPV5HEADER: the info header followed by the channel masks, the colour
// space and its end points, gamma, intent and the profile fields.
const size_t kV5HeaderBytes = 124;
const uint32_t kBitFields = 3;                 // BI_BITFIELDS: pixels as the masks say
const uint32_t kSrgbColourSpace = 0x73524742;  // 'sRGB', LCS_sRGB
const uint32_t kPictureIntent = 4;             // LCS_GM_IMAGES

void Put16(char* at, uint32_t value) {
    at[0] = char(value & 0xFF);
    at[1] = char(value >> 8 & 0xFF);
}

void Put32(char* at, uint32_t value) {
    Put16(at, value & 0xFFFF);
    Put16(at + 2, value >> 16);
}

}  // namespace

unsigned BitmapBitCount(int format) {
    switch (format) {
    case TORVASOFT_INDEXED4: return 4;
    case TORVASOFT_INDEXED8: return 8;
    case TORVASOFT_RGB555: return 16;
    case TORVASOFT_BGR24: return 24;
    case TORVASOFT_BGRA32: return 32;
    default: return 0;
    }
}

bool BitmapFileOf(const torvasoft::Picture& picture, std::string& bitmap) {
    const torvasoft_layout& layout = picture.layout;
    const unsigned bitCount = BitmapBitCount(layout.format);
    if (bitCount == 0 || !picture.hasPixels() || layout.width == 0 || layout.height == 0) return false;
    if (layout.width > INT32_MAX || layout.height > INT32_MAX) return false;
    const uint64_t rowBytes = (uint64_t(layout.width) * bitCount + 7) / 8;
    if (layout.stride < rowBytes || picture.pixels.size() / layout.stride < layout.height) return false;
    const uint64_t paddedRow = (uint64_t(layout.width) * bitCount + 31) / 32 * 4;
    const size_t entries = bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
    if (picture.palette.size() < entries) return false;
    // A picture with alpha carries it in a V5 header's alpha mask: readers
    // take the fourth byte of a plain 32-bit bitmap as unused. Every other
    // bitmap is the plug-in's own layout.
    const bool alpha = bitCount == 32;
    const size_t infoBytes = alpha ? kV5HeaderBytes : kInfoHeaderBytes;
    const uint64_t offBits = kFileHeaderBytes + infoBytes + 4 * uint64_t(entries);
    const uint64_t sizeImage = paddedRow * layout.height;
    if (sizeImage > UINT32_MAX - offBits || offBits + sizeImage > SIZE_MAX) return false;
    try {
        bitmap.assign(size_t(offBits + sizeImage), '\0');
    } catch (const std::bad_alloc&) {
        bitmap.clear();
        return false;
    }
    char* out = &bitmap[0];
    out[0] = 'B';
    out[1] = 'M';
    Put32(out + 2, uint32_t(offBits + sizeImage));
    Put32(out + 10, uint32_t(offBits));
    Put32(out + 14, uint32_t(infoBytes));
    Put32(out + 18, layout.width);
    Put32(out + 22, layout.height);  // positive: the rows bottom up
    Put16(out + 26, 1);
    Put16(out + 28, bitCount);
    Put32(out + 34, uint32_t(sizeImage));
    if (alpha) {
        Put32(out + 30, kBitFields);
        Put32(out + 54, 0x00FF0000);  // red, green, blue, alpha: B G R A bytes
        Put32(out + 58, 0x0000FF00);
        Put32(out + 62, 0x000000FF);
        Put32(out + 66, 0xFF000000);
        Put32(out + 70, kSrgbColourSpace);
        Put32(out + 122, kPictureIntent);
    }
    for (size_t i = 0; i < entries; ++i) {
        char* entry = out + kFileHeaderBytes + kInfoHeaderBytes + 4 * i;
        entry[0] = char(picture.palette[i].blue);
        entry[1] = char(picture.palette[i].green);
        entry[2] = char(picture.palette[i].red);
    }
    for (uint32_t y = 0; y < layout.height; ++y) {
        const size_t bottomUp = size_t(layout.height - 1 - y);
        std::memcpy(out + offBits + bottomUp * paddedRow, picture.row(y), size_t(rowBytes));
    }
    return true;
}

}  // namespace torva
