// Placing an archive's members: which ones own their bytes outright, and the
// framing left between them.
#include "formats/archive_structure.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/byte_cursor.h"

namespace torva {
namespace archive {
namespace {

// A range of the file something occupies; `row` -1 for tables and headers.
struct Occupied {
    uint64_t start;
    uint64_t end;
    int64_t row;
};

bool EarlierStart(const Occupied& a, const Occupied& b) {
    return a.start != b.start ? a.start < b.start : a.end < b.end;
}

bool EarlierPosition(const StructureRow* a, const StructureRow* b) { return a->position < b->position; }

// The bytes of an ALD header that must stay its own: the length, size and
// time fields and the name with its terminator (at most the 64 bytes read),
// or the whole header when its stored length says more.
uint64_t AldHeaderBytes(const StructureRow& row) {
    const uint64_t length = uint64_t{row.position} - row.headerPosition;  // wraps to a huge value when negative
    const uint64_t named = std::min<uint64_t>(uint64_t{kAldNameOffset} + row.nameLength + 1, kAldHeaderReadBytes);
    return std::max<uint64_t>(row.position >= row.headerPosition ? length : 0, named);
}

}  // namespace

void TakeStructureRow(void* context, const Member& member) {
    auto* structure = static_cast<ArchiveStructure*>(context);
    if (member.row >= structure->rowCapacity_) return;
    StructureRow& row = structure->rows_[member.row];
    row.empty = false;
    row.position = member.position;
    row.size = member.size;
    row.headerPosition = member.headerPosition;
    row.hasTime = member.hasTime;
    row.fileTime = member.fileTime;
    if (member.name != nullptr) {
        row.nameLength = static_cast<uint32_t>(strnlen(member.name, kAldNameBytes));
        std::memcpy(row.name, member.name, row.nameLength);
    }
    if (member.row + 1 > structure->rowCount_) structure->rowCount_ = member.row + 1;
}

TableRead ArchiveStructure::read(ByteSpan head, Format format, ArchiveSource source, uint64_t fileSize) {
    ArchiveTable table;
    const TableRead read = table.read(head, format, source);
    status_ = table.status();
    if (read != TableRead::Ready) return read;
    // One row per record slot: the walk never hands more.
    const uint64_t slots = table.recordSlots();
    rows_.reset(new (std::nothrow) StructureRow[slots]);
    if (!rows_) {
        status_ = DecodeStatus::OutOfMemory;
        return TableRead::Refused;
    }
    rowCapacity_ = static_cast<uint32_t>(slots);
    table.walk(source, MemberSink{TakeStructureRow, this});
    status_ = table.status();
    // ALK rows are counted by the table, empty ones at its end too.
    if (format == Format::Alk) rowCount_ = rowCapacity_;
    if (!place(format, head, fileSize)) {
        status_ = DecodeStatus::OutOfMemory;
        return TableRead::Refused;
    }
    return TableRead::Ready;
}

bool ArchiveStructure::place(Format format, ByteSpan head, uint64_t fileSize) {
    // Every range something occupies: the table, each ALD header, each
    // member's bytes (as far as the file holds them).
    std::unique_ptr<Occupied[]> occupied(new (std::nothrow) Occupied[uint64_t{rowCount_} * 2 + 1]);
    std::unique_ptr<const StructureRow*[]> order(new (std::nothrow) const StructureRow*[rowCount_ + 1]);
    segments_.reset(new (std::nothrow) Segment[uint64_t{rowCount_} * 2 + 1]);
    if (!occupied || !order || !segments_) return false;

    uint64_t tableEnd = 0;
    if (format == Format::Ald) {
        uint32_t sectors = 0;
        ReadLe24At(head.data, head.size, 0, &sectors);
        tableEnd = uint64_t{sectors} * kAldSectorBytes;
    } else {
        tableEnd = kAlkTableOffset + uint64_t{kAlkRowBytes} * rowCapacity_;
    }
    uint64_t count = 0;
    occupied[count++] = Occupied{0, std::min(tableEnd, fileSize), -1};
    for (uint32_t i = 0; i < rowCount_; ++i) {
        const StructureRow& row = rows_[i];
        if (row.empty) continue;
        if (format == Format::Ald) {
            const uint64_t start = row.headerPosition;
            occupied[count++] = Occupied{start, std::min(start + AldHeaderBytes(row), fileSize), -1};
        }
        if (row.size > 0) {
            const uint64_t start = row.position;
            occupied[count++] = Occupied{start, std::min(start + uint64_t(row.size), fileSize), int64_t{i}};
        }
    }
    // Sorted by start, a range overlaps another exactly when it starts before
    // the furthest end of those before it, or ends after the next one starts.
    std::sort(occupied.get(), occupied.get() + count, EarlierStart);
    uint64_t furthestEnd = 0;
    for (uint64_t k = 0; k < count; ++k) {
        const Occupied& range = occupied[k];
        const bool overlaps = (k > 0 && range.start < furthestEnd) ||
                              (k + 1 < count && range.end > occupied[k + 1].start && range.end > range.start);
        furthestEnd = std::max(furthestEnd, range.end);
        if (range.row < 0) continue;
        StructureRow& row = rows_[range.row];
        row.placed = !overlaps && range.start < range.end && uint64_t{row.position} + uint64_t(row.size) <= fileSize;
    }

    uint32_t placedCount = 0;
    for (uint32_t i = 0; i < rowCount_; ++i) {
        if (rows_[i].placed) order[placedCount++] = &rows_[i];
    }
    std::sort(order.get(), order.get() + placedCount, EarlierPosition);
    uint64_t at = 0;
    segmentCount_ = 0;
    for (uint32_t k = 0; k < placedCount; ++k) {
        const StructureRow& row = *order[k];
        if (row.position > at) segments_[segmentCount_++] = Segment{at, row.position - at, -1};
        segments_[segmentCount_++] = Segment{row.position, uint64_t(row.size), order[k] - rows_.get()};
        at = uint64_t{row.position} + uint64_t(row.size);
    }
    if (fileSize > at) segments_[segmentCount_++] = Segment{at, fileSize - at, -1};
    return true;
}

}  // namespace archive
}  // namespace torva
