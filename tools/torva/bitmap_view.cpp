#include "tools/torva/bitmap_view.h"

namespace torva {
namespace {

uint32_t Read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Read16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

bool BitmapView::parse(const std::string& bytes, std::string& error) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t size = bytes.size();
    // The plug-in's 40-byte info header, or the V5 header of a bitmap with
    // alpha.
    const uint32_t infoBytes = size < 18 ? 0 : Read32(p + 14);
    if (size < 54 || p[0] != 'B' || p[1] != 'M' || (infoBytes != 40 && infoBytes != 124) || size < 14 + infoBytes) {
        error = "the plug-in returned no bitmap";
        return false;
    }
    const size_t tableAt = 14 + size_t(infoBytes);
    const int32_t width = static_cast<int32_t>(Read32(p + 18));
    const int32_t height = static_cast<int32_t>(Read32(p + 22));
    bitCount_ = Read16(p + 28);
    pixelOffset_ = Read32(p + 10);
    if (width <= 0 || height <= 0) {
        error = "the picture is empty";
        return false;
    }
    if (bitCount_ != 4 && bitCount_ != 8 && bitCount_ != 16 && bitCount_ != 24 && bitCount_ != 32) {
        error = "the bitmap has an unexpected depth of " + std::to_string(bitCount_) + " bits";
        return false;
    }
    width_ = static_cast<uint32_t>(width);
    height_ = static_cast<uint32_t>(height);
    rowLength_ = ((uint64_t(width_) * bitCount_ + 31) >> 3) & ~uint64_t(3);
    const uint64_t end = pixelOffset_ + uint64_t(rowLength_) * height_;
    palette_.clear();
    if (bitCount_ <= 8) {
        const size_t entries = size_t(1) << bitCount_;
        if (tableAt + entries * 4 > pixelOffset_) {
            error = "the bitmap's colour table is cut short";
            return false;
        }
        for (size_t i = 0; i < entries; ++i) {
            const uint8_t* e = p + tableAt + i * 4;
            palette_.push_back(Rgb{e[2], e[1], e[0]});
        }
    }
    if (pixelOffset_ < tableAt || end > size) {
        error = "the bitmap's pixel rows are cut short";
        return false;
    }
    bytes_ = p;
    return true;
}

const uint8_t* BitmapView::row(uint32_t y) const {
    return bytes_ + pixelOffset_ + size_t(height_ - 1 - y) * rowLength_;
}

}  // namespace torva
