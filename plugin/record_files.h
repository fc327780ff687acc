// What the core needs from a host's FileAccess record: its bytes, and the
// two extensions its multibyte-aware name tests find.
#pragma once

#include "base/byte_span.h"
#include "formats/format.h"
#include "plugin/file_name.h"
#include "plugin/records.h"

// A record without bytes is treated as one with no bytes at all.
inline torva::ByteSpan BytesOf(const FileAccess* file) {
    return file->data == nullptr ? torva::ByteSpan{nullptr, 0} : torva::ByteSpan{file->data, file->dataSize};
}

// The name is examined only for the format that asks: a name that needs a
// copy on the heap is copied only when its extension can matter.
inline torva::Extension ExtensionFor(const FileAccess* file, torva::Format format) {
    if (format == torva::Format::Ald && HasExtension(file, ".ald")) return torva::Extension::Ald;
    if (format == torva::Format::Vsp && HasExtension(file, ".vsp")) return torva::Extension::Vsp;
    return torva::Extension::Other;
}
