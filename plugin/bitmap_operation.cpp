// Bitmap construction: a complete Windows bitmap file image (file header,
// info header, colour table where there is one, bottom-up rows) in one
// movable global block, built around the decoder of the image's kind.
#include <cstring>

#include "base/checked_size.h"
#include "codec/picture_pixels.h"
#include "plugin/entry_points.h"
#include "plugin/holders.h"
#include "plugin/info_header.h"
#include "plugin/picture_records.h"
#include "plugin/plugin_object.h"

namespace {

constexpr uint32_t kHeadersBytes = 14 + 40;

}  // namespace

int32_t FormatPlugin::getImage(const FileAccess* file, HGLOBAL* block, uint32_t* size, int32_t mode) {
    ImageInfo info;
    std::memset(&info, 0, sizeof info);
    *size = 0;
    const int32_t result = KRV_GetImageInfo(file, &info);
    if (result != Ok) return result;

    const uint32_t w = info.width;
    const uint32_t h = info.height;
    torva::PictureHeader header;
    if (!ParseRecordAs(file, info.kind, &header)) header.format = torva::Format::None;
    const uint32_t depth = BitmapDepth(header, info.bitDepth);

    const uint32_t offBits = BitmapPixelOffset(depth);
    const uint64_t blockBytes = BitmapBlockBytes(depth, w, h);
    if (!torva::AllocationFits(blockBytes)) return OutOfMemory;

    GlobalBlock output;
    if (!output.allocate(static_cast<SIZE_T>(blockBytes))) return OutOfMemory;
    auto* base = static_cast<unsigned char*>(output.lock());
    // A fresh block that cannot be locked cannot be filled: it is released and
    // reported like any other block that cannot be provided.
    if (base == nullptr) return OutOfMemory;

    const torva::ByteSpan bytes{file->data + info.dataOffset, file->dataSize};
    // What the decoders found is not examined here: a damaged picture is
    // handed over with whatever could be decoded and zeros elsewhere.
    const BuiltPixels built =
        BuildPicturePixels(header, bytes, w, h, depth, mode < 0, PixelRows::Padded, Damaged::Plugin,
                           base + kHeadersBytes, base + offBits);
    if (!built.built) return OutOfMemory;  // `output` releases the block

    BITMAPFILEHEADER fileHeader;
    std::memset(&fileHeader, 0, sizeof fileHeader);
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = offBits;
    fileHeader.bfSize = offBits + built.sizeImage;
    // Written once the final sizes are known (the block offset 14 is not
    // aligned for the structure, so it is not built in place).
    const BITMAPINFOHEADER infoHeader = MakeInfoHeader(static_cast<int32_t>(w), static_cast<int32_t>(h),
                                                   built.bitCount, built.sizeImage);
    std::memcpy(base, &fileHeader, sizeof fileHeader);
    std::memcpy(base + sizeof fileHeader, &infoHeader, sizeof infoHeader);

    *block = output.handOver();
    *size = fileHeader.bfSize;
    return Ok;
}
