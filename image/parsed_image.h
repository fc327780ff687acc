// An image's kind and its header, parsed once from the host's record.
#pragma once

#include <cstdint>

#include "codec/image_headers.h"
#include "plugin/records.h"

struct ParsedImage {
    int32_t kind = 0;  // an ImageKind; 0 when not recognised
    QntHeader qnt{};   // the header of the kind found; the others stay empty
    PmsHeader pms{};
    VspHeader vsp{};
};

// Detection: QNT, then PMS, then VSP (by the ".vsp" extension and its
// rectangle). A failed test of one format passes on to the next.
ParsedImage ParseImage(const FileAccess* file);

// The header of a kind already decided (by a detection that may be a derived
// class's); false when the bytes hold no such header.
bool ParseImageOfKind(const FileAccess* file, int32_t kind, ParsedImage* image);
