// The table read and the member walk of ALD and ALK archives.
#include "formats/archive_table.h"

#include <cstdio>
#include <cstring>

#include "base/byte_cursor.h"
#include "base/checked_size.h"
#include "formats/archive_layout.h"

namespace torva {
namespace archive {
namespace {

// The largest file offset a host can reach from the beginning with a 32-bit
// signed distance.
constexpr uint64_t kMaxReachableOffset = 0x7FFFFFFFu;

// The table's place in the file and the members it may give.
struct TableGeometry {
    uint32_t fileOffset;
    uint64_t tableBytes;
    uint64_t recordSlots;
};

// False when the head value is missing (possible only under a detection that
// accepted fewer bytes than the format needs): such a file is no archive.
bool AldGeometry(ByteSpan head, TableGeometry* geometry, bool* declaredEmpty) {
    uint32_t tableSectors = 0;
    if (!ReadLe24At(head.data, head.size, 0, &tableSectors)) return false;
    // t[0] = 0 gives a negative table size: nothing to allocate or walk.
    if (tableSectors == 0) {
        *declaredEmpty = true;
        return true;
    }
    geometry->fileOffset = kAldEntryBytes;  // t[1] onward
    geometry->tableBytes = uint64_t{tableSectors} * kAldSectorBytes - kAldEntryBytes;
    geometry->recordSlots = geometry->tableBytes / kAldEntryBytes;
    return true;
}

bool AlkGeometry(ByteSpan head, TableGeometry* geometry) {
    uint32_t count = 0;
    if (!ReadLe32At(head.data, head.size, kAlkCountOffset, &count)) return false;
    const int32_t rows = static_cast<int32_t>(count);
    if (rows <= 0) return false;
    geometry->fileOffset = kAlkTableOffset;
    geometry->tableBytes = uint64_t{kAlkRowBytes} * static_cast<uint64_t>(rows);
    geometry->recordSlots = static_cast<uint64_t>(rows);
    return true;
}

}  // namespace

TableRead ArchiveTable::read(ByteSpan head, Format format, ArchiveSource source) {
    format_ = format;
    TableGeometry geometry = {0, 0, 0};
    if (format == Format::Ald) {
        bool declaredEmpty = false;
        if (!AldGeometry(head, &geometry, &declaredEmpty)) return TableRead::NoTable;
        if (declaredEmpty) {
            status_ = DecodeStatus::Corrupt;
            return TableRead::Refused;
        }
    } else if (format != Format::Alk || !AlkGeometry(head, &geometry)) {
        return TableRead::NoTable;
    }

    // Both sizes in 64 bits: an ALK count near 2^29 would wrap 8 x count and
    // 304 x count in a 32-bit size_t. A host's block of one record per slot
    // must be one that a call may take, too.
    uint64_t blockBytes = 0;
    if (!CheckedMul(geometry.recordSlots, kRecordBytes, &blockBytes) || !AllocationFits(geometry.tableBytes) ||
        !AllocationFits(blockBytes)) {
        status_ = DecodeStatus::TooLarge;
        return TableRead::Refused;
    }
    if (!table_.allocate(static_cast<uint32_t>(geometry.tableBytes))) {
        status_ = DecodeStatus::OutOfMemory;
        return TableRead::Refused;
    }
    // One read of the whole table. What the read does not deliver stays zero,
    // which ends an ALD walk early and leaves ALK rows empty.
    const uint32_t delivered =
        source.readAt(source.context, geometry.fileOffset, table_.data(), static_cast<uint32_t>(geometry.tableBytes));
    if (delivered < geometry.tableBytes) status_ = DecodeStatus::Truncated;

    // Records for every table row the file actually has. A head of a few
    // bytes may declare an ALK table of 883011 rows (a block of the full
    // 256 MiB); when the file ends long before that table does, the rows it
    // lacks are empty and could never become records, so the slots are those
    // of the rows delivered (at least one, so that a host's block can be
    // locked). For every file whose table is complete this is the full count.
    const uint64_t rowBytes = format == Format::Ald ? kAldEntryBytes : kAlkRowBytes;
    const uint64_t deliveredRows = delivered / rowBytes;
    recordSlots_ = geometry.recordSlots;
    if (deliveredRows < recordSlots_) recordSlots_ = deliveredRows > 0 ? deliveredRows : 1;
    ready_ = true;
    return TableRead::Ready;
}

void FormatAlkName(char* out, uint32_t size, const char* stem, uint32_t number) {
    if (size == 0) return;
    std::snprintf(out, size, "%.*s_%03u%s", static_cast<int>(kBaseNameBytes - 1), stem, number, ".dat");
}

uint32_t ArchiveTable::walk(ArchiveSource source, MemberSink sink) {
    if (!ready_) return 0;
    return format_ == Format::Ald ? walkAld(source, sink) : walkAlk(sink);
}

// The ALD walk: one 64-byte header read per member sector t[2], t[3], ...
// The table holds t[1] onward.
uint32_t ArchiveTable::walkAld(ArchiveSource source, MemberSink sink) {
    const uint64_t entries = table_.size() / kAldEntryBytes;
    uint32_t filled = 0;
    // Entry j of the buffer is t[j + 1]; the members start at t[2].
    for (uint64_t j = 1; j < entries && filled < recordSlots_; ++j) {
        uint32_t sector = 0;
        if (!ReadLe24At(table_.data(), table_.size(), j * kAldEntryBytes, &sector) || sector == 0) break;

        // A header that cannot be read whole ends the walk: a sector at or past
        // 2 GiB cannot be reached with the 32-bit signed distance, and one at
        // or near the end of the file delivers fewer than 64 bytes. Skipping
        // it instead would list later entries of a table that has evidently
        // run past the file.
        const uint64_t headerOffset = uint64_t{sector} * kAldSectorBytes;
        if (headerOffset > kMaxReachableOffset) {
            status_ = DecodeStatus::OutsideFile;
            break;
        }
        unsigned char header[kAldHeaderReadBytes] = {};
        const uint32_t got = source.readAt(source.context, static_cast<uint32_t>(headerOffset), header, sizeof header);
        // The end marker may close the file with fewer bytes than a header.
        if (got >= 4 && LoadLe32(header) == kAldEndMarker) break;
        if (got != sizeof header) {
            status_ = DecodeStatus::Truncated;
            break;
        }

        // The name is up to 48 bytes and normally terminated inside them; one
        // that is not is cut to its 48 bytes.
        char name[kAldNameBytes + 1];
        std::memcpy(name, header + kAldNameOffset, kAldNameBytes);
        name[kAldNameBytes] = '\0';
        Member member;
        member.name = name;
        member.row = static_cast<uint32_t>(j - 1);
        member.headerPosition = static_cast<uint32_t>(headerOffset);
        // In 32 bits, as the format's offsets are.
        member.position = static_cast<uint32_t>(headerOffset) + LoadLe32(header);
        member.size = static_cast<int32_t>(LoadLe32(header + kAldSizeOffset));
        member.hasTime = true;
        member.fileTime = uint64_t{LoadLe32(header + kAldTimeOffset + 4)} << 32 | LoadLe32(header + kAldTimeOffset);
        sink.take(sink.context, member);
        ++filled;
    }
    return filled;
}

// The ALK walk over the rows in file order. Empty rows give no member.
uint32_t ArchiveTable::walkAlk(MemberSink sink) {
    const uint64_t rows = table_.size() / kAlkRowBytes;
    uint32_t filled = 0;
    for (uint64_t row = 0; row < rows && filled < recordSlots_; ++row) {
        const unsigned char* bytes = table_.data() + row * kAlkRowBytes;
        const int32_t size = static_cast<int32_t>(LoadLe32(bytes + 4));
        if (size == 0) continue;

        Member member;
        member.name = nullptr;
        member.row = static_cast<uint32_t>(row);
        member.headerPosition = 0;
        member.position = LoadLe32(bytes);
        member.size = size;
        member.hasTime = false;
        member.fileTime = 0;
        sink.take(sink.context, member);
        ++filled;
    }
    return filled;
}

}  // namespace archive
}  // namespace torva
