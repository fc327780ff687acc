// One entry for every picture format: a picture as read, the format wanted,
// and the file written or the reason it cannot be.
#pragma once

#include <cstdint>

#include "author/author_status.h"
#include "author/byte_buffer.h"
#include "author/picture_preparation.h"
#include "author/pms_encoder.h"

namespace author {

enum class PictureFormat { Qnt, Pms8, Pms16, Vsp };

struct EncodeOptions {
    PictureFormat format = PictureFormat::Qnt;
    uint32_t left = 0;  // VSP position in pixels
    uint32_t top = 0;
    ParseStrategy strategy = ParseStrategy::Shortest;
};

struct EncodeReport {
    uint32_t colours = 0;    // distinct colours (paletted formats; also when there are too many)
    bool rounded = false;    // 16-bit PMS: some colour was rounded to 5-6-5
    bool alpha = false;      // an alpha plane was written
};

AuthorStatus EncodePicture(const SourcePicture& picture, const EncodeOptions& options, ByteBuffer& file,
                           EncodeReport* report = nullptr);

}  // namespace author
