// DecodePicture: the pixels of the plug-in's bitmap for the same file and
// mode, built by the same code (BuildPicturePixels), then turned top-down and
// packed without row padding.
#include <cstring>
#include <new>

#include "api/api_support.h"
#include "api/host_record.h"
#include "api/picture_info.h"
#include "base/checked_size.h"
#include "base/heap_buffer.h"
#include "image/picture_pixels.h"
#include "plugin/result_codes.h"
#include "api/library.h"

namespace torva {
namespace api {

namespace {

constexpr uint32_t kColourTableBytes = 1024;

PixelFormat FormatOf(uint32_t bitCount) {
    switch (bitCount) {
        case 4: return PixelFormat::Indexed4;
        case 8: return PixelFormat::Indexed8;
        case 16: return PixelFormat::Rgb555;
        case 24: return PixelFormat::Bgr24;
        default: return PixelFormat::Bgra32;
    }
}

}  // namespace

Picture DecodePicture(const uint8_t* bytes, size_t size, const char* name, const DecodeOptions& options) {
    Picture picture;
    if (size > UINT32_MAX) {
        picture.status_ = Status::TooLarge;
        return picture;
    }
    torva::api::HostRecord record;
    if (!record.build(bytes, static_cast<uint32_t>(size), name, nullptr)) {
        picture.status_ = Status::OutOfMemory;
        return picture;
    }
    torva::api::PictureFacts facts;
    const Status header = torva::api::ReadPictureFacts(record.get(), &facts);
    if (header == Status::NotRecognised) return picture;
    picture.info_ = facts.info;

    // The same area as the plug-in's block: room for rows of 32 bits a pixel
    // of the reported (16-bit) width and height.
    const uint32_t w = facts.record.width;
    const uint32_t h = facts.record.height;
    const uint32_t depth = BitmapDepth(facts.image, facts.record.bitDepth);
    const uint64_t areaBytes = uint64_t{4} * w * h;
    // Refused where the plug-in refuses its block (headers, table and rows).
    const uint64_t blockBytes = 54 + (depth == 4 ? 64 : 0) + (depth == 8 ? 1024 : 0) + areaBytes;
    if (!torva::AllocationFits(blockBytes)) {
        picture.status_ = Status::TooLarge;
        return picture;
    }
    torva::HeapBuffer area;
    if (!area.allocate(static_cast<uint32_t>(areaBytes + kColourTableBytes))) {
        picture.status_ = Status::OutOfMemory;
        return picture;
    }
    unsigned char* colourTable = area.data();
    unsigned char* bitmapRows = area.data() + kColourTableBytes;
    const torva::ByteSpan file{bytes, static_cast<uint32_t>(size)};
    const BuiltPixels built = BuildPicturePixels(facts.image, file, w, h, depth, options.fullColour16 ? -1 : 0,
                                                 colourTable, bitmapRows);
    if (built.result != Ok) {
        picture.status_ = Status::OutOfMemory;
        return picture;
    }

    picture.format_ = FormatOf(built.bitCount);
    picture.stride_ = static_cast<size_t>((uint64_t{w} * built.bitCount + 7) / 8);
    const size_t bitmapStride = static_cast<size_t>(torva::RowStride(w, built.bitCount));
    const size_t paletteEntries = built.bitCount == 4 ? 16 : built.bitCount == 8 ? 256 : 0;
    try {
        picture.pixels_.resize(picture.stride_ * h);
        picture.palette_.resize(paletteEntries);
    } catch (const std::bad_alloc&) {
        picture.pixels_.clear();
        picture.palette_.clear();
        picture.status_ = Status::OutOfMemory;
        return picture;
    }
    // Bitmap row r holds picture row h - 1 - r.
    for (uint32_t y = 0; y < h; ++y) {
        std::memcpy(picture.pixels_.data() + y * picture.stride_, bitmapRows + (h - 1 - y) * bitmapStride,
                    picture.stride_);
    }
    for (size_t i = 0; i < paletteEntries; ++i) {
        picture.palette_[i] = PaletteEntry{colourTable[4 * i + 2], colourTable[4 * i + 1], colourTable[4 * i]};
    }
    picture.produced_ = built.decode.pixelsProduced;
    picture.status_ = torva::api::ToStatus(built.decode.status);
    return picture;
}

}  // namespace api
}  // namespace torva
