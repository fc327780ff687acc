// The original picture whose header an encoding keeps (torvasoft_encode's
// `like`): which encoder it takes, the header bytes handed to it, and where
// the original stands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "author/header_template.h"
#include "author/picture_encoder.h"
#include "torvasoft/torvasoft.h"

namespace torva {
namespace capi {

struct LikeOriginal {
    author::PictureFormat format = author::PictureFormat::Qnt;
    author::HeaderTemplate header;  // points into the original's bytes
    uint32_t x = 0;                 // its stored position's bits
    uint32_t y = 0;
};

// COMPLETE, or why the bytes cannot serve: NOT_RECOGNISED for none of the
// pictures, INVALID_ARGUMENT for a PMS depth other than 8 or 16, TRUNCATED
// when the file ends inside the header it would lend.
torvasoft_status ReadLikeOriginal(const uint8_t* bytes, size_t size, const char* name, LikeOriginal* like);

}  // namespace capi
}  // namespace torva
