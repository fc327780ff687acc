// Archive detection from an archive's head bytes and its name's extension.
#pragma once

#include "base/byte_span.h"
#include "formats/format.h"

namespace torva {

// Ald when the extension is ".ald" and the first table looks plausible, else
// Alk when the head is a consistent ALK head, else None. Reads no byte past
// `head`.
Format DetectArchive(ByteSpan head, Extension extension);

}  // namespace torva
