// The whole layout of an archive, for rebuilding it byte for byte: every
// table row in order (empty ALK rows too) and the file cut into segments,
// each either one member's bytes or framing (tables, member headers,
// padding, gaps, trailing bytes: everything that is not a member's bytes).
#pragma once

#include <cstdint>
#include <memory>

#include "base/byte_span.h"
#include "formats/archive_layout.h"
#include "formats/archive_table.h"
#include "formats/format.h"

namespace torva {
namespace archive {

struct StructureRow {
    bool empty = true;    // an ALK row of size 0 (an ALD row is never empty)
    // Its bytes lie wholly inside the file, apart from every other member,
    // table and header: a segment of their own, which may be replaced. A
    // member that is not placed (its bytes shared, or past the end) stays
    // inside the framing.
    bool placed = false;
    uint32_t position = 0;  // as stored (ALD: header position + header length)
    int32_t size = 0;       // as stored
    uint32_t headerPosition = 0;  // ALD
    bool hasTime = false;
    uint64_t fileTime = 0;  // ALD, as stored
    unsigned char name[kAldNameBytes] = {};  // ALD: the stored name without its terminator
    uint32_t nameLength = 0;
};

// A piece of the file, in file order: [start, start + size).
struct Segment {
    uint64_t start;
    uint64_t size;
    int64_t row;  // the placed member's row, or -1 for framing
};

class ArchiveStructure {
public:
    // Reads the table of an archive detected as `format` through `source`
    // (head values from `head`, as ArchiveTable::read) and places its
    // members in a file of `fileSize` bytes. Refused also when the heap
    // refuses the rows or segments (status() OutOfMemory).
    TableRead read(ByteSpan head, Format format, ArchiveSource source, uint64_t fileSize);

    // As the walk left it: Complete, or why the table was not read whole.
    DecodeStatus status() const { return status_; }

    uint32_t rowCount() const { return rowCount_; }
    const StructureRow& row(uint32_t index) const { return rows_[index]; }
    uint32_t segmentCount() const { return segmentCount_; }
    const Segment& segment(uint32_t index) const { return segments_[index]; }

private:
    friend void TakeStructureRow(void* context, const Member& member);
    bool place(Format format, ByteSpan head, uint64_t fileSize);

    DecodeStatus status_ = DecodeStatus::Complete;
    std::unique_ptr<StructureRow[]> rows_;
    uint32_t rowCount_ = 0;
    uint32_t rowCapacity_ = 0;
    std::unique_ptr<Segment[]> segments_;
    uint32_t segmentCount_ = 0;
};

}  // namespace archive
}  // namespace torva
