// Translations between the library's own values and those of the public API.
#pragma once

#include "base/decode_status.h"
#include "plugin/records.h"
#include "torvasoft/torvasoft.h"

namespace torva {
namespace api {

inline torvasoft::Status ToStatus(DecodeStatus status) {
    switch (status) {
        case DecodeStatus::Complete: return torvasoft::Status::Complete;
        case DecodeStatus::Truncated: return torvasoft::Status::Truncated;
        case DecodeStatus::Corrupt: return torvasoft::Status::Corrupt;
        case DecodeStatus::OutsideFile: return torvasoft::Status::OutsideFile;
        case DecodeStatus::TooLarge: return torvasoft::Status::TooLarge;
        case DecodeStatus::OutOfMemory: return torvasoft::Status::OutOfMemory;
    }
    return torvasoft::Status::Corrupt;
}

inline torvasoft::Kind ImageKindOf(int32_t kind) {
    switch (kind) {
        case ImageQnt: return torvasoft::Kind::Qnt;
        case ImagePms: return torvasoft::Kind::Pms;
        case ImageVsp: return torvasoft::Kind::Vsp;
        default: return torvasoft::Kind::None;
    }
}

inline torvasoft::Kind ArchiveKindOf(int32_t kind) {
    switch (kind) {
        case ArchiveAld: return torvasoft::Kind::Ald;
        case ArchiveAlk: return torvasoft::Kind::Alk;
        default: return torvasoft::Kind::None;
    }
}

}  // namespace api
}  // namespace torva
