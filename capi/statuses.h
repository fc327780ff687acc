// The C interface's status and kind values for the core's own.
#pragma once

#include "base/decode_status.h"
#include "formats/format.h"
#include "torvasoft/torvasoft.h"

namespace torva {
namespace capi {

inline torvasoft_status ToC(DecodeStatus status) {
    switch (status) {
        case DecodeStatus::Complete: return TORVASOFT_COMPLETE;
        case DecodeStatus::Truncated: return TORVASOFT_TRUNCATED;
        case DecodeStatus::Corrupt: return TORVASOFT_CORRUPT;
        case DecodeStatus::OutsideFile: return TORVASOFT_OUTSIDE_FILE;
        case DecodeStatus::TooLarge: return TORVASOFT_TOO_LARGE;
        case DecodeStatus::OutOfMemory: return TORVASOFT_OUT_OF_MEMORY;
    }
    return TORVASOFT_CORRUPT;
}

// The enumerations share their values.
inline int ToC(Format format) { return static_cast<int>(format); }
static_assert(static_cast<int>(Format::Ald) == TORVASOFT_KIND_ALD && static_cast<int>(Format::Alk) == TORVASOFT_KIND_ALK &&
                  static_cast<int>(Format::Qnt) == TORVASOFT_KIND_QNT &&
                  static_cast<int>(Format::Pms) == TORVASOFT_KIND_PMS &&
                  static_cast<int>(Format::Vsp) == TORVASOFT_KIND_VSP,
              "kind values");

}  // namespace capi
}  // namespace torva
