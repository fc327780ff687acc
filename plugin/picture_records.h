// The core's picture formats as the plug-in's image kinds, and the header of
// a host's record parsed for a kind already decided.
#pragma once

#include <cstdint>

#include "formats/picture_header.h"
#include "plugin/record_files.h"

inline torva::Format FormatOfImageKind(int32_t kind) {
    switch (kind) {
        case ImageQnt: return torva::Format::Qnt;
        case ImagePms: return torva::Format::Pms;
        case ImageVsp: return torva::Format::Vsp;
        default: return torva::Format::None;
    }
}

inline int32_t ImageKindOf(torva::Format format) {
    switch (format) {
        case torva::Format::Qnt: return ImageQnt;
        case torva::Format::Pms: return ImagePms;
        case torva::Format::Vsp: return ImageVsp;
        default: return ImageNone;
    }
}

// The header of a kind that a detection (perhaps a derived class's) has
// reported; false when the record's bytes hold no such header.
inline bool ParseRecordAs(const FileAccess* file, int32_t kind, torva::PictureHeader* header) {
    const torva::Format format = FormatOfImageKind(kind);
    return torva::ParsePictureAs(BytesOf(file), ExtensionFor(file, format), format, header);
}
