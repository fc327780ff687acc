// The C interface's status and kind values for the library's own.
#pragma once

#include "api/library.h"
#include "torvasoft/torvasoft.h"

namespace torva {
namespace capi {

inline torvasoft_status ToC(api::Status status) {
    switch (status) {
        case api::Status::Complete: return TORVASOFT_COMPLETE;
        case api::Status::Truncated: return TORVASOFT_TRUNCATED;
        case api::Status::Corrupt: return TORVASOFT_CORRUPT;
        case api::Status::OutsideFile: return TORVASOFT_OUTSIDE_FILE;
        case api::Status::TooLarge: return TORVASOFT_TOO_LARGE;
        case api::Status::OutOfMemory: return TORVASOFT_OUT_OF_MEMORY;
        case api::Status::NotRecognised: return TORVASOFT_NOT_RECOGNISED;
    }
    return TORVASOFT_CORRUPT;
}

// The enumerations share their values.
inline int ToC(api::Kind kind) { return static_cast<int>(kind); }
static_assert(static_cast<int>(api::Kind::Ald) == TORVASOFT_KIND_ALD && static_cast<int>(api::Kind::Alk) == TORVASOFT_KIND_ALK &&
                  static_cast<int>(api::Kind::Qnt) == TORVASOFT_KIND_QNT &&
                  static_cast<int>(api::Kind::Pms) == TORVASOFT_KIND_PMS &&
                  static_cast<int>(api::Kind::Vsp) == TORVASOFT_KIND_VSP,
              "kind values");

}  // namespace capi
}  // namespace torva
