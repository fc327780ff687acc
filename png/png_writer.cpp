// The C entry points: the caller's arguments checked, then the encoder.
#include "png/png_writer.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "png/png_encoder.h"
#include "png/png_source.h"

namespace torva_png {
namespace {

constexpr uint32_t kMaxSide = 0x7FFFFFFFu;  // IHDR's limit

torva_png_status Check(const torva_png_image* image, const torva_png_options& options, Source& source) {
    if (image == nullptr || image->pixels == nullptr || BitsPerPixel(image->format) == 0) {
        return TORVA_PNG_INVALID_ARGUMENT;
    }
    if (options.level != TORVA_PNG_LEVEL_DEFAULT && options.level != TORVA_PNG_LEVEL_FAST &&
        options.level != TORVA_PNG_LEVEL_BEST) {
        return TORVA_PNG_INVALID_ARGUMENT;
    }
    if (image->width == 0 || image->height == 0) return TORVA_PNG_EMPTY_PICTURE;
    if (image->width > kMaxSide || image->height > kMaxSide) return TORVA_PNG_TOO_LARGE;
    source.width = image->width;
    source.height = image->height;
    source.format = image->format;
    source.top = image->pixels;
    source.stride = image->stride;
    // The image data: a filter byte and at most four bytes a pixel each row,
    // held whole in memory.
    const uint64_t streamBytes = (uint64_t(image->width) * 4 + 1) * image->height;
    if (streamBytes > std::numeric_limits<size_t>::max() / 2) return TORVA_PNG_TOO_LARGE;
    const uint64_t rowBytes = PackedRowBytes(source);
    const uint64_t strideMagnitude =
        image->stride < 0 ? uint64_t(-(image->stride + 1)) + 1 : uint64_t(image->stride);
    if (strideMagnitude < rowBytes && image->height > 1) return TORVA_PNG_INVALID_ARGUMENT;
    if (IsIndexed(image->format)) {
        if (image->palette == nullptr || image->palette_entries == 0) return TORVA_PNG_NO_PALETTE;
        if (image->palette_entries > 256) return TORVA_PNG_INVALID_ARGUMENT;
        source.palette = image->palette;
        source.paletteEntries = image->palette_entries;
    }
    return TORVA_PNG_OK;
}

torva_png_status EncodeChecked(const torva_png_image* image, const torva_png_options* given,
                               std::unique_ptr<Encoded>& encoded) {
    const torva_png_options options = given != nullptr ? *given : torva_png_options{};
    Source source;
    const torva_png_status checked = Check(image, options, source);
    if (checked != TORVA_PNG_OK) return checked;
    encoded.reset(new (std::nothrow) Encoded);
    if (!encoded) return TORVA_PNG_OUT_OF_MEMORY;
    return Encode(source, options.level, nullptr, options, *encoded);
}

// Appends to a buffer that holds the whole file.
struct MemorySink {
    uint8_t* bytes;
    size_t size, capacity;
};

int AppendToMemory(void* context, const void* bytes, size_t count) {
    auto* sink = static_cast<MemorySink*>(context);
    if (count > sink->capacity - sink->size) return 0;
    std::memcpy(sink->bytes + sink->size, bytes, count);
    sink->size += count;
    return 1;
}

}  // namespace
}  // namespace torva_png

extern "C" {

torva_png_status torva_png_write(const torva_png_image* image, const torva_png_options* options,
                                 torva_png_write_fn write, void* context) {
    if (write == nullptr) return TORVA_PNG_INVALID_ARGUMENT;
    std::unique_ptr<torva_png::Encoded> encoded;
    const torva_png_status status = torva_png::EncodeChecked(image, options, encoded);
    return status != TORVA_PNG_OK ? status : torva_png::Emit(*encoded, write, context);
}

torva_png_status torva_png_write_memory(const torva_png_image* image, const torva_png_options* options,
                                        uint8_t** png, size_t* size) {
    if (png == nullptr || size == nullptr) return TORVA_PNG_INVALID_ARGUMENT;
    *png = nullptr;
    *size = 0;
    std::unique_ptr<torva_png::Encoded> encoded;
    const torva_png_status status = torva_png::EncodeChecked(image, options, encoded);
    if (status != TORVA_PNG_OK) return status;
    const uint64_t fileSize = torva_png::FileSize(*encoded);
    if (fileSize > std::numeric_limits<size_t>::max()) return TORVA_PNG_OUT_OF_MEMORY;
    torva_png::MemorySink sink{static_cast<uint8_t*>(std::malloc(size_t(fileSize))), 0, size_t(fileSize)};
    if (sink.bytes == nullptr) return TORVA_PNG_OUT_OF_MEMORY;
    const torva_png_status emitted = torva_png::Emit(*encoded, torva_png::AppendToMemory, &sink);
    if (emitted != TORVA_PNG_OK) {
        std::free(sink.bytes);
        return emitted;
    }
    *png = sink.bytes;
    *size = sink.size;
    return TORVA_PNG_OK;
}

void torva_png_free(uint8_t* png) { std::free(png); }

const char* torva_png_status_text(int status) {
    switch (status) {
    case TORVA_PNG_OK: return "written";
    case TORVA_PNG_INVALID_ARGUMENT: return "an invalid argument";
    case TORVA_PNG_EMPTY_PICTURE: return "the picture is empty";
    case TORVA_PNG_TOO_LARGE: return "the picture is too large to write as PNG";
    case TORVA_PNG_NO_PALETTE: return "indexed pixels without a palette";
    case TORVA_PNG_INDEX_PAST_PALETTE: return "a pixel's index lies past the palette";
    case TORVA_PNG_OUT_OF_MEMORY: return "not enough memory to write the picture as PNG";
    case TORVA_PNG_WRITE_FAILED: return "the PNG could not be written";
    default: return "unknown status";
    }
}

}  // extern "C"
