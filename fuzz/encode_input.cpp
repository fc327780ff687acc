#include "fuzz/encode_input.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "author/picture_encoder.h"
#include "author/picture_reader.h"
#include "platform/winapi.h"
#include "plugin/entry_points.h"
#include "plugin/records.h"

namespace torvafuzz {
namespace {

// The 8-bit value a 5-bit or 6-bit channel shows after rounding: the
// widening nearest to `value`, found by trying them all.
uint8_t Rounded(uint8_t value, unsigned bits) {
    const unsigned max = (1u << bits) - 1;
    unsigned best = 0, distance = 256;
    for (unsigned c = 0; c <= max; ++c) {
        const unsigned widened = ((max >> 1) + 255 * c) / max;
        const unsigned d = widened > value ? widened - value : value - widened;
        if (d < distance) {
            distance = d;
            best = widened;
        }
    }
    return uint8_t(best);
}

// Red, green, blue, alpha of pixel (x, y) of a bitmap file image.
void BitmapPixel(const uint8_t* bmp, uint32_t x, uint32_t y, uint8_t out[4]) {
    uint32_t offBits, width, height;
    uint16_t bits;
    std::memcpy(&offBits, bmp + 10, 4);
    std::memcpy(&width, bmp + 18, 4);
    std::memcpy(&height, bmp + 22, 4);
    std::memcpy(&bits, bmp + 28, 2);
    const uint32_t stride = ((width * bits + 31) >> 3) & ~3u;
    const uint8_t* row = bmp + offBits + size_t(height - 1 - y) * stride;
    const uint8_t* bgr;
    if (bits == 4) bgr = bmp + 54 + 4 * ((row[x / 2] >> (x % 2 ? 0 : 4)) & 15);
    else if (bits == 8) bgr = bmp + 54 + 4 * row[x];
    else bgr = row + x * (bits / 8);
    out[0] = bgr[2];
    out[1] = bgr[1];
    out[2] = bgr[0];
    out[3] = bits == 32 ? bgr[3] : 255;
}

}  // namespace

void RunEncodeInput(const uint8_t* data, size_t size) {
    if (size < 1) return;
    const uint8_t choice = data[0];
    author::InputPicture picture;
    const char* reason = nullptr;
    if (!author::ReadInputPicture(data + 1, size - 1, picture, &reason)) {
        if (reason == nullptr || picture.width != 0 || picture.rgba.size() != 0) std::abort();
        return;
    }
    if (uint64_t(picture.width) * picture.height > (1u << 16)) return;  // keeps each run short

    static const author::PictureFormat kFormats[] = {author::PictureFormat::Qnt, author::PictureFormat::Pms8,
                                                     author::PictureFormat::Pms16, author::PictureFormat::Vsp};
    static const char* const kNames[] = {"x.qnt", "x.pms", "x.pms", "x.vsp"};
    author::EncodeOptions options;
    options.format = kFormats[choice & 3];
    options.strategy = choice & 4 ? author::ParseStrategy::Greedy : author::ParseStrategy::Shortest;
    options.left = (choice >> 3 & 3) * 8;
    options.top = choice >> 5;
    author::ByteBuffer file;
    if (author::EncodePicture(picture.source(), options, file) != author::AuthorStatus::Ok) {
        if (file.size() != 0) std::abort();
        return;
    }

    const std::string name = kNames[choice & 3];
    std::vector<unsigned char> record(offsetof(FileAccess, fileName) + name.size() + 1, 0);
    auto* access = reinterpret_cast<FileAccess*>(record.data());
    access->data = file.data();
    access->dataSize = uint32_t(file.size());
    std::memcpy(record.data() + offsetof(FileAccess, fileName), name.c_str(), name.size() + 1);
    HGLOBAL block = nullptr;
    uint32_t bitmapSize = 0;
    if (KRV_GetImage(access, &block, &bitmapSize, -1) != 0 || block == nullptr) std::abort();
    const auto* bmp = static_cast<const uint8_t*>(GlobalLock(block));
    uint32_t width, height;
    std::memcpy(&width, bmp + 18, 4);
    std::memcpy(&height, bmp + 22, 4);
    if (width != picture.width || height != picture.height) std::abort();
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t got[4];
            BitmapPixel(bmp, x, y, got);
            const uint8_t* want = picture.rgba.data() + (size_t(y) * width + x) * 4;
            uint8_t expected[4] = {want[0], want[1], want[2], want[3]};
            if (options.format == author::PictureFormat::Pms16) {
                expected[0] = Rounded(want[0], 5);
                expected[1] = Rounded(want[1], 6);
                expected[2] = Rounded(want[2], 5);
            }
            if (std::memcmp(got, expected, 4) != 0) std::abort();
        }
    }
    GlobalUnlock(block);
    GlobalFree(block);
}

}  // namespace torvafuzz
