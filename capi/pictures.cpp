// Detection, inspection and decoding through the C interface, on the core's
// detection, header parse and decoders.
#include <cstring>

#include "base/checked_size.h"
#include "codec/pixel_conversion.h"
#include "capi/limits.h"
#include "capi/rgba_in_place.h"
#include "capi/statuses.h"
#include "codec/picture_pixels.h"
#include "formats/archive_detection.h"
#include "formats/file_names.h"
#include "formats/picture_header.h"
#include "torvasoft/torvasoft.h"

namespace {

using torva::Format;

// A picture as inspection found it.
struct Picture {
    torva::PictureHeader header;
    torva::PictureFacts facts{0, 0, 0, false, 0, 0};
};

torvasoft_info ToC(const Picture& picture) {
    torvasoft_info out{};
    out.kind = torva::capi::ToC(picture.header.format);
    out.width = picture.facts.width;
    out.height = picture.facts.height;
    out.depth = picture.facts.depth;
    out.has_alpha = picture.facts.hasAlpha ? 1 : 0;
    out.has_position = picture.facts.hasPosition ? 1 : 0;
    out.x = picture.facts.x;
    out.y = picture.facts.y;
    const torva::PictureHeader& header = picture.header;
    switch (header.format) {
        case Format::Qnt:
            out.version = header.qnt.version;
            out.header_size = header.qnt.colourOffset;
            out.reserved = header.qnt.reserved;
            break;
        case Format::Pms:
            out.version = header.pms.version;
            out.header_size = header.pms.headerSize;
            out.comment_offset = header.pms.commentOffset;
            out.shadow_depth = header.pms.shadowDepth;
            std::memcpy(out.pms_flags, header.pms.flags, sizeof out.pms_flags);
            break;
        case Format::Vsp:
            out.header_size = kVspPlaneOffset;
            out.reserved = header.vsp.extra;
            break;
        default:
            break;
    }
    return out;
}

// The pixel format a request gives for a picture.
int FormatFor(const Picture& picture, int request) {
    if (request == TORVASOFT_AS_RGBA8 || request == TORVASOFT_AS_RGBA8_FROM_STORED) return TORVASOFT_RGBA8;
    const torva::PictureFacts& facts = picture.facts;
    switch (picture.header.format) {
        case Format::Vsp: return TORVASOFT_INDEXED4;
        case Format::Pms:
            if (facts.depth == 8) return TORVASOFT_INDEXED8;
            if (request == TORVASOFT_AS_STORED) return TORVASOFT_RGB555;
            return facts.hasAlpha ? TORVASOFT_BGRA32 : TORVASOFT_BGR24;
        default: return facts.depth == 32 ? TORVASOFT_BGRA32 : TORVASOFT_BGR24;
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

// The bits a pixel the core builds a picture at (BuildPicturePixels): its
// bitmap depth, or 24 or 32 for a 16-bit PMS picture in full colour.
uint32_t BuiltBits(const Picture& picture, bool fullColour16) {
    const uint32_t depth = BitmapDepth(picture.header, picture.facts.depth);
    if (picture.header.format == Format::Pms && depth == 16 && fullColour16) return picture.facts.hasAlpha ? 32 : 24;
    return depth;
}

bool ValidRequest(int request) {
    return request == TORVASOFT_AS_RGBA8 || request == TORVASOFT_AS_STORED || request == TORVASOFT_AS_STORED_FULL ||
           request == TORVASOFT_AS_RGBA8_FROM_STORED;
}

// Fills `layout` for a recognised picture; TOO_LARGE beyond the limits.
torvasoft_status LayoutOf(const Picture& picture, int request, torvasoft_layout* layout) {
    const int format = FormatFor(picture, request);
    const uint32_t w = picture.facts.width;
    const uint32_t h = picture.facts.height;
    const uint64_t stride = (uint64_t{w} * BitsOf(format) + 7) / 8;
    const uint64_t bytes = stride * h;  // below 2^35: no overflow
    if (bytes > SIZE_MAX || !torva::capi::WithinLimits(uint64_t{w} * h, bytes)) return TORVASOFT_TOO_LARGE;
    layout->format = format;
    layout->width = w;
    layout->height = h;
    layout->stride = static_cast<size_t>(stride);
    layout->size = static_cast<size_t>(bytes);
    layout->palette_entries = format == TORVASOFT_INDEXED4 ? 16 : format == TORVASOFT_INDEXED8 ? 256 : 0;
    return TORVASOFT_COMPLETE;
}

// The header's status, and the layout when the picture can be decoded.
torvasoft_status Inspect(const uint8_t* bytes, size_t size, const char* name, int request, Picture* picture,
                         torvasoft_layout* layout) {
    if (bytes == nullptr && size != 0) return TORVASOFT_INVALID_ARGUMENT;
    if (!ValidRequest(request)) return TORVASOFT_INVALID_ARGUMENT;
    if (size > UINT32_MAX) return TORVASOFT_TOO_LARGE;
    const torva::ByteSpan file{bytes, static_cast<uint32_t>(size)};
    // A QNT header of ours whose streams the file cuts is a damaged picture.
    picture->header = torva::ParsePicture(file, torva::ExtensionOfName(name), torva::CutQnt::Damaged);
    if (picture->header.format == Format::None) return TORVASOFT_NOT_RECOGNISED;
    picture->facts = torva::FactsOf(picture->header);
    const torvasoft_status status = torva::capi::ToC(torva::HeaderStatus(picture->header, file.size));
    if (status == TORVASOFT_TOO_LARGE) return status;
    const torvasoft_status fits = LayoutOf(*picture, request, layout);
    return fits == TORVASOFT_COMPLETE ? status : fits;
}

}  // namespace

extern "C" {

int torvasoft_detect(const uint8_t* bytes, size_t size, const char* name) {
    if (bytes == nullptr && size != 0) return TORVASOFT_KIND_NONE;
    // Larger inputs are seen through their first 4 GiB - 1 bytes, as the
    // plug-in's host would hand them over.
    const torva::ByteSpan file{bytes, size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size)};
    const torva::Extension extension = torva::ExtensionOfName(name);
    // Archives first: ALD is told by its name, and no picture's magic is "ALK0".
    const Format archive = torva::DetectArchive(file, extension);
    if (archive != Format::None) return torva::capi::ToC(archive);
    return torva::capi::ToC(torva::ParsePicture(file, extension, torva::CutQnt::Refused).format);
}

torvasoft_status torvasoft_inspect(const uint8_t* bytes, size_t size, const char* name, torvasoft_info* info) {
    if (info == nullptr) return TORVASOFT_INVALID_ARGUMENT;
    Picture picture;
    torvasoft_layout layout;
    const torvasoft_status status = Inspect(bytes, size, name, TORVASOFT_AS_RGBA8, &picture, &layout);
    if (status != TORVASOFT_NOT_RECOGNISED && status != TORVASOFT_INVALID_ARGUMENT) *info = ToC(picture);
    return status;
}

torvasoft_status torvasoft_decoded_layout(const uint8_t* bytes, size_t size, const char* name, int request,
                                          torvasoft_layout* layout) {
    if (layout == nullptr) return TORVASOFT_INVALID_ARGUMENT;
    Picture picture;
    return Inspect(bytes, size, name, request, &picture, layout);
}

torvasoft_status torvasoft_decode(const uint8_t* bytes, size_t size, const char* name, int request, void* out,
                                  size_t out_size, torvasoft_colour* palette, uint64_t* produced) {
    if (produced != nullptr) *produced = 0;
    Picture picture;
    torvasoft_layout layout;
    const torvasoft_status header = Inspect(bytes, size, name, request, &picture, &layout);
    if (header != TORVASOFT_COMPLETE && header != TORVASOFT_TRUNCATED && header != TORVASOFT_OUTSIDE_FILE) {
        return header;
    }
    if (out == nullptr && layout.size != 0) return TORVASOFT_INVALID_ARGUMENT;
    if (out_size < layout.size) return TORVASOFT_BUFFER_TOO_SMALL;

    auto* target = static_cast<uint8_t*>(out);
    const uint32_t w = layout.width;
    const uint32_t h = layout.height;
    const uint32_t depth = BitmapDepth(picture.header, picture.facts.depth);
    // Zero where nothing is decoded; RGBA is then made from the stored rows
    // at the buffer's start.
    const bool rgba = layout.format == TORVASOFT_RGBA8;
    const bool fullColour16 = request == TORVASOFT_AS_RGBA8 || request == TORVASOFT_AS_STORED_FULL;
    // The stored rows are those of the layout itself, or fewer bytes than
    // its RGBA rows; never more than the caller's buffer holds.
    const size_t storedBytes = RowStrideOf(PixelRows::Packed, w, BuiltBits(picture, fullColour16)) * h;
    if (storedBytes > layout.size) return TORVASOFT_CORRUPT;
    // Refused where the plug-in refuses its block.
    if (!torva::AllocationFits(BitmapBlockBytes(depth, w, h))) {
        if (layout.size != 0) std::memset(target, 0, layout.size);
        return TORVASOFT_TOO_LARGE;
    }
    if (storedBytes != 0) std::memset(target, 0, storedBytes);

    // The stored pixels are decoded straight into the caller's buffer, as
    // the bitmap's rows but packed, then turned top-down in place.
    unsigned char colourTable[1024] = {};
    const BuiltPixels built = BuildPicturePixels(picture.header, torva::ByteSpan{bytes, static_cast<uint32_t>(size)},
                                                 w, h, depth, fullColour16, PixelRows::Packed, Damaged::Recover,
                                                 colourTable, target);
    if (!built.built) {
        if (layout.size != 0) std::memset(target, 0, layout.size);
        return TORVASOFT_OUT_OF_MEMORY;
    }
    FlipRows(target, static_cast<uint32_t>(RowStrideOf(PixelRows::Packed, w, built.bitCount)),
             static_cast<int32_t>(h));
    if (rgba) torva::capi::ExpandToRgbaInPlace(target, w, h, built.bitCount, colourTable);
    if (palette != nullptr) {
        for (uint32_t i = 0; i < layout.palette_entries; ++i) {
            palette[i] = torvasoft_colour{colourTable[4 * i + 2], colourTable[4 * i + 1], colourTable[4 * i], 255};
        }
    }
    if (produced != nullptr) *produced = built.decode.pixelsProduced;
    return torva::capi::ToC(built.decode.status);
}

torvasoft_status torvasoft_decode_rgba(const uint8_t* bytes, size_t size, const char* name, uint8_t* out,
                                       size_t out_size, uint64_t* produced) {
    return torvasoft_decode(bytes, size, name, TORVASOFT_AS_RGBA8, out, out_size, nullptr, produced);
}

}  // extern "C"
