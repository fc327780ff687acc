// Translations between the library's own values and those of the public API.
#pragma once

#include "base/decode_status.h"
#include "plugin/records.h"
#include "api/library.h"

namespace torva {
namespace api {

inline Status ToStatus(DecodeStatus status) {
    switch (status) {
        case DecodeStatus::Complete: return Status::Complete;
        case DecodeStatus::Truncated: return Status::Truncated;
        case DecodeStatus::Corrupt: return Status::Corrupt;
        case DecodeStatus::OutsideFile: return Status::OutsideFile;
        case DecodeStatus::TooLarge: return Status::TooLarge;
        case DecodeStatus::OutOfMemory: return Status::OutOfMemory;
    }
    return Status::Corrupt;
}

inline Kind ImageKindOf(int32_t kind) {
    switch (kind) {
        case ImageQnt: return Kind::Qnt;
        case ImagePms: return Kind::Pms;
        case ImageVsp: return Kind::Vsp;
        default: return Kind::None;
    }
}

inline Kind ArchiveKindOf(int32_t kind) {
    switch (kind) {
        case ArchiveAld: return Kind::Ald;
        case ArchiveAlk: return Kind::Alk;
        default: return Kind::None;
    }
}

}  // namespace api
}  // namespace torva
