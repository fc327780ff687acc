#include "capi/rgba_in_place.h"

#include <cstddef>

namespace torva {
namespace capi {
namespace {

// 5 bits widened to 8, full intensity staying 255.
inline uint8_t Widen5(unsigned v) { return static_cast<uint8_t>(v << 3 | v >> 2); }

}  // namespace

void ExpandToRgbaInPlace(uint8_t* buffer, uint32_t width, uint32_t height, uint32_t bits,
                         const unsigned char* colourTable) {
    const size_t stride = (size_t{width} * bits + 7) / 8;
    for (uint32_t y = height; y-- > 0;) {
        const uint8_t* from = buffer + y * stride;
        uint8_t* row = buffer + size_t{y} * width * 4;
        for (uint32_t x = width; x-- > 0;) {
            uint8_t r = 0, g = 0, b = 0, a = 255;
            switch (bits) {
                case 4:
                case 8: {
                    const unsigned index = bits == 8 ? from[x] : (x % 2 == 0 ? from[x / 2] >> 4 : from[x / 2] & 0x0F);
                    b = colourTable[4 * index];
                    g = colourTable[4 * index + 1];
                    r = colourTable[4 * index + 2];
                    break;
                }
                case 16: {
                    const unsigned p = from[2 * size_t{x}] | from[2 * size_t{x} + 1] << 8;
                    r = Widen5(p >> 10 & 0x1F);
                    g = Widen5(p >> 5 & 0x1F);
                    b = Widen5(p & 0x1F);
                    break;
                }
                case 24:
                    b = from[3 * size_t{x}];
                    g = from[3 * size_t{x} + 1];
                    r = from[3 * size_t{x} + 2];
                    break;
                default:
                    b = from[4 * size_t{x}];
                    g = from[4 * size_t{x} + 1];
                    r = from[4 * size_t{x} + 2];
                    a = from[4 * size_t{x} + 3];
                    break;
            }
            uint8_t* to = row + 4 * size_t{x};
            to[0] = r;
            to[1] = g;
            to[2] = b;
            to[3] = a;
        }
    }
}

}  // namespace capi
}  // namespace torva
