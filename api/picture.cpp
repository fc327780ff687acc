#include <new>

#include "api/library.h"

namespace torva {
namespace api {

Picture::Picture(Picture&&) noexcept = default;
Picture& Picture::operator=(Picture&&) noexcept = default;
Picture::~Picture() = default;

namespace {

// 5 bits widened to 8, full intensity staying 255.
inline uint8_t Widen5(unsigned v) { return static_cast<uint8_t>(v << 3 | v >> 2); }

}  // namespace

bool Picture::toRgba(std::vector<uint8_t>& out) const {
    out.clear();
    if (pixels() == nullptr) return false;
    const size_t w = info_.width;
    try {
        out.resize(4 * w * info_.height);
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    uint8_t* to = out.data();
    for (uint32_t y = 0; y < info_.height; ++y) {
        const uint8_t* from = row(y);
        for (size_t x = 0; x < w; ++x, to += 4) {
            uint8_t r = 0, g = 0, b = 0, a = 255;
            switch (format_) {
                case PixelFormat::Indexed4:
                case PixelFormat::Indexed8: {
                    const unsigned index = format_ == PixelFormat::Indexed8
                                               ? from[x]
                                               : (x % 2 == 0 ? from[x / 2] >> 4 : from[x / 2] & 0x0F);
                    if (index < palette_.size()) {
                        r = palette_[index].red;
                        g = palette_[index].green;
                        b = palette_[index].blue;
                    }
                    break;
                }
                case PixelFormat::Rgb555: {
                    const unsigned p = from[2 * x] | from[2 * x + 1] << 8;
                    r = Widen5(p >> 10 & 0x1F);
                    g = Widen5(p >> 5 & 0x1F);
                    b = Widen5(p & 0x1F);
                    break;
                }
                case PixelFormat::Bgr24:
                    b = from[3 * x];
                    g = from[3 * x + 1];
                    r = from[3 * x + 2];
                    break;
                case PixelFormat::Bgra32:
                    b = from[4 * x];
                    g = from[4 * x + 1];
                    r = from[4 * x + 2];
                    a = from[4 * x + 3];
                    break;
            }
            to[0] = r;
            to[1] = g;
            to[2] = b;
            to[3] = a;
        }
    }
    return true;
}

}  // namespace api
}  // namespace torva
