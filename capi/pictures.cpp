// Detection, inspection and decoding through the C interface.
#include <cstring>

#include "api/library.h"
#include "base/checked_size.h"
#include "capi/limits.h"
#include "capi/statuses.h"
#include "torvasoft/torvasoft.h"

namespace {

using torva::api::PixelFormat;

torvasoft_info ToC(const torva::api::PictureInfo& info) {
    torvasoft_info out{};
    out.kind = torva::capi::ToC(info.kind);
    out.width = info.width;
    out.height = info.height;
    out.depth = info.depth;
    out.has_alpha = info.hasAlpha ? 1 : 0;
    out.has_position = info.kind == torva::api::Kind::Vsp ? 1 : 0;
    out.x = info.x;
    out.y = info.y;
    return out;
}

// The pixel format a request gives for a picture.
int FormatFor(const torva::api::PictureInfo& info, int request) {
    if (request == TORVASOFT_AS_RGBA8 || request == TORVASOFT_AS_RGBA8_FROM_STORED) return TORVASOFT_RGBA8;
    switch (info.kind) {
        case torva::api::Kind::Vsp: return TORVASOFT_INDEXED4;
        case torva::api::Kind::Pms:
            if (info.depth == 8) return TORVASOFT_INDEXED8;
            if (request == TORVASOFT_AS_STORED) return TORVASOFT_RGB555;
            return info.hasAlpha ? TORVASOFT_BGRA32 : TORVASOFT_BGR24;
        default: return info.depth == 32 ? TORVASOFT_BGRA32 : TORVASOFT_BGR24;
    }
}

uint32_t BitsOf(int format) {
    switch (format) {
        case TORVASOFT_INDEXED4: return 4;
        case TORVASOFT_INDEXED8: return 8;
        case TORVASOFT_RGB555: return 16;
        case TORVASOFT_BGR24: return 24;
        default: return 32;
    }
}

bool ValidRequest(int request) {
    return request == TORVASOFT_AS_RGBA8 || request == TORVASOFT_AS_STORED || request == TORVASOFT_AS_STORED_FULL ||
           request == TORVASOFT_AS_RGBA8_FROM_STORED;
}

// Fills `layout` for a recognised picture; TOO_LARGE beyond the limits.
torvasoft_status LayoutOf(const torva::api::PictureInfo& info, int request, torvasoft_layout* layout) {
    const int format = FormatFor(info, request);
    const uint64_t stride = (uint64_t{info.width} * BitsOf(format) + 7) / 8;
    uint64_t bytes = 0;
    if (!torva::CheckedMul(stride, info.height, &bytes) || bytes > SIZE_MAX ||
        !torva::capi::WithinLimits(uint64_t{info.width} * info.height, bytes)) {
        return TORVASOFT_TOO_LARGE;
    }
    layout->format = format;
    layout->width = info.width;
    layout->height = info.height;
    layout->stride = static_cast<size_t>(stride);
    layout->size = static_cast<size_t>(bytes);
    layout->palette_entries = format == TORVASOFT_INDEXED4 ? 16 : format == TORVASOFT_INDEXED8 ? 256 : 0;
    return TORVASOFT_COMPLETE;
}

// The header's status, and the layout when the picture can be decoded.
torvasoft_status Inspect(const uint8_t* bytes, size_t size, const char* name, int request,
                         torva::api::PictureInfo* info, torvasoft_layout* layout) {
    if (bytes == nullptr && size != 0) return TORVASOFT_INVALID_ARGUMENT;
    if (!ValidRequest(request)) return TORVASOFT_INVALID_ARGUMENT;
    const torva::api::Status header = torva::api::InspectPicture(bytes, size, name, info);
    const torvasoft_status status = torva::capi::ToC(header);
    if (status == TORVASOFT_NOT_RECOGNISED || status == TORVASOFT_TOO_LARGE || status == TORVASOFT_OUT_OF_MEMORY) {
        return status;
    }
    const torvasoft_status fits = LayoutOf(*info, request, layout);
    return fits == TORVASOFT_COMPLETE ? status : fits;
}

inline uint8_t Widen5(unsigned v) { return static_cast<uint8_t>(v << 3 | v >> 2); }

// The decoded rows as RGBA, alpha 255 where the picture has none.
void ToRgba(const torva::api::Picture& picture, uint8_t* out) {
    const uint32_t w = picture.width();
    const auto& palette = picture.palette();
    for (uint32_t y = 0; y < picture.height(); ++y) {
        const uint8_t* from = picture.row(y);
        for (uint32_t x = 0; x < w; ++x, out += 4) {
            uint8_t r = 0, g = 0, b = 0, a = 255;
            switch (picture.format()) {
                case PixelFormat::Indexed4:
                case PixelFormat::Indexed8: {
                    const unsigned index = picture.format() == PixelFormat::Indexed8
                                               ? from[x]
                                               : (x % 2 == 0 ? from[x / 2] >> 4 : from[x / 2] & 0x0F);
                    if (index < palette.size()) {
                        r = palette[index].red;
                        g = palette[index].green;
                        b = palette[index].blue;
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
            out[0] = r;
            out[1] = g;
            out[2] = b;
            out[3] = a;
        }
    }
}

}  // namespace

extern "C" {

int torvasoft_detect(const uint8_t* bytes, size_t size, const char* name) {
    if (bytes == nullptr && size != 0) return TORVASOFT_KIND_NONE;
    return torva::capi::ToC(torva::api::DetectKind(bytes, size, name));
}

torvasoft_status torvasoft_inspect(const uint8_t* bytes, size_t size, const char* name, torvasoft_info* info) {
    if (info == nullptr) return TORVASOFT_INVALID_ARGUMENT;
    torva::api::PictureInfo facts;
    torvasoft_layout layout;
    const torvasoft_status status = Inspect(bytes, size, name, TORVASOFT_AS_RGBA8, &facts, &layout);
    if (status != TORVASOFT_NOT_RECOGNISED && status != TORVASOFT_INVALID_ARGUMENT) *info = ToC(facts);
    return status;
}

torvasoft_status torvasoft_decoded_layout(const uint8_t* bytes, size_t size, const char* name, int request,
                                          torvasoft_layout* layout) {
    if (layout == nullptr) return TORVASOFT_INVALID_ARGUMENT;
    torva::api::PictureInfo facts;
    return Inspect(bytes, size, name, request, &facts, layout);
}

torvasoft_status torvasoft_decode(const uint8_t* bytes, size_t size, const char* name, int request, void* out,
                                  size_t out_size, torvasoft_colour* palette, uint64_t* produced) {
    if (produced != nullptr) *produced = 0;
    torva::api::PictureInfo facts;
    torvasoft_layout layout;
    const torvasoft_status header = Inspect(bytes, size, name, request, &facts, &layout);
    if (header != TORVASOFT_COMPLETE && header != TORVASOFT_TRUNCATED && header != TORVASOFT_OUTSIDE_FILE) {
        return header;
    }
    if (out == nullptr && layout.size != 0) return TORVASOFT_INVALID_ARGUMENT;
    if (out_size < layout.size) return TORVASOFT_BUFFER_TOO_SMALL;

    torva::api::DecodeOptions options;
    options.fullColour16 = request == TORVASOFT_AS_RGBA8 || request == TORVASOFT_AS_STORED_FULL;
    const torva::api::Picture picture = torva::api::DecodePicture(bytes, size, name, options);
    if (picture.pixels() == nullptr) {
        std::memset(out, 0, layout.size);
        return picture.status() == torva::api::Status::Complete ? TORVASOFT_OUT_OF_MEMORY
                                                                : torva::capi::ToC(picture.status());
    }
    if (layout.format == TORVASOFT_RGBA8) {
        ToRgba(picture, static_cast<uint8_t*>(out));
    } else {
        std::memcpy(out, picture.pixels(), layout.size);
    }
    if (palette != nullptr) {
        const auto& entries = picture.palette();
        for (uint32_t i = 0; i < layout.palette_entries; ++i) {
            const bool known = i < entries.size();
            palette[i] = torvasoft_colour{known ? entries[i].red : uint8_t{0}, known ? entries[i].green : uint8_t{0},
                                          known ? entries[i].blue : uint8_t{0}, 255};
        }
    }
    if (produced != nullptr) *produced = picture.pixelsProduced();
    return torva::capi::ToC(picture.status());
}

torvasoft_status torvasoft_decode_rgba(const uint8_t* bytes, size_t size, const char* name, uint8_t* out,
                                       size_t out_size, uint64_t* produced) {
    return torvasoft_decode(bytes, size, name, TORVASOFT_AS_RGBA8, out, out_size, nullptr, produced);
}

}  // extern "C"
