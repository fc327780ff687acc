// Archive listing: reads an archive's table and member headers and hands
// each member on as a 304-byte ArchiveEntry. KRV_GetArchiveInfo reads through
// the host's file handle and returns the records in a movable global block;
// the host reads each member itself at the entry's position.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "archive/archive_layout.h"
#include "archive/archive_table.h"
#include "base/byte_cursor.h"
#include "base/checked_size.h"
#include "plugin/file_name.h"
#include "plugin/holders.h"
#include "plugin/plugin_object.h"

namespace torva {
namespace archive {
namespace {

static_assert(sizeof(ArchiveEntry) == kRecordBytes, "records are 304 bytes");

const char kAldTag[8] = {'T', 'O', 'R', 'V', 'A', 'A', 'L', 'D'};
const char kAlkTag[8] = {'T', 'O', 'R', 'V', 'A', 'A', 'L', 'K'};

// The largest file offset SetFilePointer can reach from the beginning with a
// 32-bit signed distance and no high part.
constexpr uint64_t kMaxReachableOffset = 0x7FFFFFFFu;

// Copies a NUL-terminated string into the 256-byte name field so that it ends
// in a terminator inside the field. `text` must have a terminator at or before
// `text[textBytes - 1]`; it is cut at the field's last byte first, and the
// multibyte-aware copy then drops a lead byte whose trail byte was cut off, so
// a double-byte character is never split. The rest of the field is zero.
void CopyNameField(ArchiveEntry& entry, char* text, size_t textBytes) {
    if (textBytes > sizeof entry.name) text[sizeof entry.name - 1] = '\0';
    _mbsnbcpy(reinterpret_cast<unsigned char*>(entry.name), reinterpret_cast<const unsigned char*>(text),
              sizeof entry.name);
}

// The table's place in the file and the records it may give.
struct TableGeometry {
    uint32_t fileOffset;
    uint64_t tableBytes;
    uint64_t recordSlots;
};

// Reads the table geometry from the head bytes. False when the head value is
// missing (possible only under a detection that accepted fewer bytes than the
// format needs): such a file is answered as no archive.
bool AldGeometry(const FileAccess* file, TableGeometry* geometry, bool* tooSmall) {
    uint32_t tableSectors = 0;
    if (!ReadLe24At(file->data, file->data == nullptr ? 0 : file->dataSize, 0, &tableSectors)) {
        return false;
    }
    // t[0] = 0 gives a negative table size: nothing to allocate or walk.
    if (tableSectors == 0) {
        *tooSmall = true;
        return true;
    }
    geometry->fileOffset = kAldEntryBytes;  // t[1] onward
    geometry->tableBytes = uint64_t{tableSectors} * kAldSectorBytes - kAldEntryBytes;
    geometry->recordSlots = geometry->tableBytes / kAldEntryBytes;
    return true;
}

bool AlkGeometry(const FileAccess* file, TableGeometry* geometry) {
    uint32_t count = 0;
    if (!ReadLe32At(file->data, file->data == nullptr ? 0 : file->dataSize, kAlkCountOffset, &count)) {
        return false;
    }
    const int32_t rows = static_cast<int32_t>(count);
    if (rows <= 0) return false;
    geometry->fileOffset = kAlkTableOffset;
    geometry->tableBytes = uint64_t{kAlkRowBytes} * static_cast<uint64_t>(rows);
    geometry->recordSlots = static_cast<uint64_t>(rows);
    return true;
}

}  // namespace

void FormBaseName(const FileAccess* file, char* baseName) {
    const char* afterSlash = BaseNameOf(FileNameOf(file));
    _mbsnbcpy(reinterpret_cast<unsigned char*>(baseName), reinterpret_cast<const unsigned char*>(afterSlash),
              kBaseNameBytes - 1);
    baseName[kBaseNameBytes - 1] = '\0';
    const char* dot = ExtensionOf(baseName);
    if (dot != nullptr) baseName[dot - baseName] = '\0';
}

int32_t ArchiveTable::read(const FileAccess* file, int32_t kind, ArchiveSource source) {
    kind_ = kind;
    TableGeometry geometry = {0, 0, 0};
    if (kind == ArchiveAld) {
        bool tooSmall = false;
        if (!AldGeometry(file, &geometry, &tooSmall)) return Ok;
        if (tooSmall) {
            status_ = DecodeStatus::Corrupt;
            return OutOfMemory;
        }
    } else if (!AlkGeometry(file, &geometry)) {
        return Ok;
    }

    // Both sizes in 64 bits: an ALK count near 2^29 would wrap 8 x count and
    // 304 x count in a 32-bit size_t. A block larger than one call may take is
    // a block that cannot be provided.
    uint64_t blockBytes = 0;
    if (!CheckedMul(geometry.recordSlots, kRecordBytes, &blockBytes) || !AllocationFits(geometry.tableBytes) ||
        !AllocationFits(blockBytes)) {
        status_ = DecodeStatus::TooLarge;
        return OutOfMemory;
    }
    if (!table_.allocate(static_cast<uint32_t>(geometry.tableBytes))) {
        status_ = DecodeStatus::OutOfMemory;
        return OutOfMemory;
    }
    // One read of the whole table. What the read does not deliver stays zero,
    // which ends an ALD walk early and leaves ALK rows empty.
    const uint32_t delivered =
        source.readAt(source.context, geometry.fileOffset, table_.data(), static_cast<uint32_t>(geometry.tableBytes));
    if (delivered < geometry.tableBytes) status_ = DecodeStatus::Truncated;

    // The block holds a record for every table row the file actually has. A
    // head of a few bytes may declare an ALK table of 883011 rows (a block of
    // the full 256 MiB); when the file ends long before that table does, the
    // rows it lacks are empty and could never become records, so the block is
    // sized for the rows delivered (at least one record, so that it can be
    // locked). For every file whose table is complete this is the full size.
    const uint64_t rowBytes = kind == ArchiveAld ? kAldEntryBytes : kAlkRowBytes;
    const uint64_t deliveredRows = delivered / rowBytes;
    recordSlots_ = geometry.recordSlots;
    if (deliveredRows < recordSlots_) recordSlots_ = deliveredRows > 0 ? deliveredRows : 1;
    listable_ = true;
    return Ok;
}

uint32_t ArchiveTable::walk(const char* baseName, ArchiveSource source, MemberSink sink) {
    if (!listable_) return 0;
    return kind_ == ArchiveAld ? walkAld(source, sink) : walkAlk(baseName, sink);
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

        const uint32_t headerLength = LoadLe32(header);
        ArchiveEntry entry;
        std::memset(&entry, 0, sizeof entry);
        // The name is up to 48 bytes and normally terminated inside them. One
        // that is not is cut to its 48 bytes: the copy comes from a 49-byte
        // terminated buffer, so it never reads beyond the header.
        char name[kAldNameBytes + 1];
        std::memcpy(name, header + kAldNameOffset, kAldNameBytes);
        name[kAldNameBytes] = '\0';
        CopyNameField(entry, name, sizeof name);

        const int32_t size = static_cast<int32_t>(LoadLe32(header + kAldSizeOffset));
        entry.storedSize = size;
        entry.size = size;
        // In 32 bits, as the format's offsets are: the high half stays 0.
        entry.position = static_cast<uint32_t>(static_cast<uint32_t>(headerOffset) + headerLength);
        entry.reserved = 0;
        entry.archiveKind = ArchiveAld;
        FILETIME utc;
        utc.dwLowDateTime = LoadLe32(header + kAldTimeOffset);
        utc.dwHighDateTime = LoadLe32(header + kAldTimeOffset + 4);
        // A stamp the system cannot convert (beyond its range) is left zero.
        FILETIME local = {0, 0};
        if (!FileTimeToLocalFileTime(&utc, &local)) local = FILETIME{0, 0};
        entry.timestamp = local;
        std::memcpy(entry.typeTag, kAldTag, sizeof entry.typeTag);

        sink.emit(sink.context, entry, uint64_t{utc.dwHighDateTime} << 32 | utc.dwLowDateTime);
        ++filled;
    }
    return filled;
}

// The ALK walk over the rows in file order. Empty rows produce no record and
// do not advance the running number in the names.
uint32_t ArchiveTable::walkAlk(const char* baseName, MemberSink sink) {
    const uint64_t rows = table_.size() / kAlkRowBytes;
    uint32_t filled = 0;
    int32_t number = 1;
    for (uint64_t row = 0; row < rows && filled < recordSlots_; ++row) {
        const unsigned char* bytes = table_.data() + row * kAlkRowBytes;
        const uint32_t offset = LoadLe32(bytes);
        const int32_t size = static_cast<int32_t>(LoadLe32(bytes + 4));
        if (size == 0) continue;

        ArchiveEntry entry;
        std::memset(&entry, 0, sizeof entry);
        // Base name (at most 259 bytes), '_', the number (at most 10 digits)
        // and ".dat": the text always fits this buffer. A base name of more
        // than 247 bytes would not fit the 256-byte field, so the text is cut
        // there, never inside a double-byte character.
        char name[kBaseNameBytes + 32];
        std::snprintf(name, sizeof name, "%s_%03d%s", baseName, number, ".dat");
        CopyNameField(entry, name, sizeof name);

        entry.storedSize = size;
        entry.size = size;
        entry.position = offset;
        entry.reserved = 0;
        entry.archiveKind = ArchiveAlk;
        std::memcpy(entry.typeTag, kAlkTag, sizeof entry.typeTag);

        sink.emit(sink.context, entry, 0);
        ++filled;
        ++number;
    }
    return filled;
}

}  // namespace archive
}  // namespace torva

namespace {

using namespace torva::archive;

// Positions the handle at `offset` and reads `bytes` into `buffer`; the
// number of bytes delivered, 0 when the positioning failed.
uint32_t ReadThroughHandle(void* context, uint32_t offset, void* buffer, uint32_t bytes) {
    HANDLE file = static_cast<HANDLE>(context);
    const DWORD reached = SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN);
    if (reached != offset) return 0;
    DWORD delivered = 0;
    ReadFile(file, buffer, bytes, &delivered, nullptr);
    // A failed read may still report the bytes it delivered before failing.
    return delivered > bytes ? 0 : delivered;
}

// Records go one after the other into the locked block.
struct RecordWriter {
    unsigned char* records;
    uint32_t written;
};

void WriteRecord(void* context, const ArchiveEntry& entry, uint64_t /*storedTime*/) {
    auto* writer = static_cast<RecordWriter*>(context);
    std::memcpy(writer->records + uint64_t{writer->written} * kRecordBytes, &entry, kRecordBytes);
    ++writer->written;
}

}  // namespace

int32_t FormatPlugin::getArchiveInfo(const FileAccess* file, HGLOBAL* block, int32_t* count) {
    *count = 0;
    int32_t kind = ArchiveNone;
    // Through the virtual slot, so that a derived class's detection is honoured.
    const int32_t detected = isSupportedArchive(file, &kind);
    if (detected != Ok) return detected;
    if (kind != ArchiveAld && kind != ArchiveAlk) return Ok;

    char baseName[kBaseNameBytes];
    FormBaseName(file, baseName);

    const ArchiveSource source{ReadThroughHandle, file->hFile};
    ArchiveTable table;
    const int32_t read = table.read(file, kind, source);
    if (read != Ok || !table.listable()) return read;

    GlobalBlock result;
    if (!result.allocate(static_cast<SIZE_T>(table.recordSlots() * kRecordBytes))) return OutOfMemory;
    // A fresh block that cannot be locked cannot be filled: it is freed and
    // reported like a block that could not be allocated.
    auto* records = static_cast<unsigned char*>(result.lock());
    if (records == nullptr) return OutOfMemory;

    RecordWriter writer{records, 0};
    const uint32_t filled = table.walk(baseName, source, MemberSink{WriteRecord, &writer});

    *block = result.handOver();
    *count = static_cast<int32_t>(filled);
    return Ok;
}
