// One entry for every picture format: a picture as read, the format wanted,
// and the file written or the reason it cannot be.
#pragma once

#include <cstdint>

#include "author/author_status.h"
#include "author/byte_buffer.h"
#include "author/header_template.h"
#include "author/picture_preparation.h"
#include "author/pms_encoder.h"

namespace author {

enum class PictureFormat { Qnt, Pms8, Pms16, Vsp };

struct EncodeOptions {
    PictureFormat format = PictureFormat::Qnt;
    // The stored position in pixels: for VSP on its 640 x 400 screen
    // (CheckVspGeometry), for QNT and PMS the bits of their signed fields
    // (CheckStoredPosition).
    uint32_t left = 0;
    uint32_t top = 0;
    ParseStrategy strategy = ParseStrategy::Shortest;
    // The original picture's header, which the new file keeps; null for the
    // encoders' own headers. It must be one of the format written.
    const HeaderTemplate* like = nullptr;
};

struct EncodeReport {
    uint32_t colours = 0;    // distinct colours (paletted formats; also when there are too many)
    bool rounded = false;    // 16-bit PMS: some colour was rounded to 5-6-5
    bool alpha = false;      // an alpha plane was written
};

AuthorStatus EncodePicture(const SourcePicture& picture, const EncodeOptions& options, ByteBuffer& file,
                           EncodeReport* report = nullptr);

}  // namespace author
