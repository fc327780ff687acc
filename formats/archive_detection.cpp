// Archive detection: decides from the head bytes and the name whether a file
// is an ALD or an ALK archive. ALD has no magic number, so it is only tried
// for names ending in ".ald" and only accepted when its first table looks
// plausible; ALK is recognised by its magic and a consistent first row.
#include "formats/archive_detection.h"

#include <algorithm>
#include <cstdint>

#include "base/byte_cursor.h"
#include "formats/archive_layout.h"

namespace {

using namespace torva::archive;

// The plausibility walk over the first table. Only entries that lie wholly
// inside both the supplied bytes and the table's t[0] sectors are looked at,
// so nothing past `dataSize` is ever read.
bool AldTableLooksValid(const unsigned char* data, uint32_t dataSize) {
    uint32_t tableSectors = 0;
    uint32_t beforeFirst = 0;
    if (!torva::ReadLe24At(data, dataSize, 0, &tableSectors) ||
        !torva::ReadLe24At(data, dataSize, kAldEntryBytes, &beforeFirst)) {
        return false;
    }
    if (tableSectors > kAldMaxTableSectors) return false;
    if (uint64_t{2} * tableSectors > beforeFirst) return false;

    const uint64_t limit = std::min<uint64_t>(dataSize, uint64_t{tableSectors} * kAldSectorBytes);
    const uint64_t entries = limit / kAldEntryBytes;
    uint32_t previous = beforeFirst;
    for (uint64_t i = 2; i < entries; ++i) {
        uint32_t sector = 0;
        if (!torva::ReadLe24At(data, dataSize, i * kAldEntryBytes, &sector)) return false;
        if (sector == 0) return true;  // the list ends here
        if (sector <= previous) return false;
        previous = sector;
    }
    return true;
}

bool AlkHeadLooksValid(const unsigned char* data, uint32_t dataSize) {
    uint32_t magic = 0;
    uint32_t count = 0;
    uint32_t firstOffset = 0;
    if (!torva::ReadLe32At(data, dataSize, 0, &magic) ||
        !torva::ReadLe32At(data, dataSize, kAlkCountOffset, &count) ||
        !torva::ReadLe32At(data, dataSize, kAlkTableOffset, &firstOffset)) {
        return false;
    }
    if (magic != kAlkMagic) return false;
    const int32_t rows = static_cast<int32_t>(count);
    if (rows <= 0) return false;
    // In 64 bits: a count near 2^29 must not wrap around to a small offset.
    const uint64_t expected = uint64_t{kAlkRowBytes} * static_cast<uint64_t>(rows) + kAlkTableOffset;
    return expected == firstOffset;
}

}  // namespace

namespace torva {

Format DetectArchive(ByteSpan head, Extension extension) {
    if (extension == Extension::Ald && AldTableLooksValid(head.data, head.size)) return Format::Ald;
    if (AlkHeadLooksValid(head.data, head.size)) return Format::Alk;
    return Format::None;
}

}  // namespace torva
