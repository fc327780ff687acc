// Archive detection and listing for the host: the core's detection and table
// walk over the host's record and file handle, each member written as a
// 304-byte ArchiveEntry into a movable global block. The host reads each
// member itself at the entry's position.
#include <cstring>

#include "formats/archive_detection.h"
#include "formats/archive_layout.h"
#include "formats/archive_table.h"
#include "plugin/holders.h"
#include "plugin/plugin_object.h"
#include "plugin/record_files.h"

namespace {

using namespace torva::archive;

static_assert(sizeof(ArchiveEntry) == kRecordBytes, "records are 304 bytes");

const char kAldTag[8] = {'T', 'O', 'R', 'V', 'A', 'A', 'L', 'D'};
const char kAlkTag[8] = {'T', 'O', 'R', 'V', 'A', 'A', 'L', 'K'};

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

// Copies a member's name into the 256-byte name field so that it ends in a
// terminator inside the field: cut at the field's last byte first, then
// copied with the multibyte-aware bounded copy, which drops a lead byte whose
// trail byte was cut off, so a double-byte character is never split. The
// rest of the field is zero.
void CopyNameField(ArchiveEntry& entry, const char* name) {
    char cut[sizeof entry.name];
    const size_t length = strnlen(name, sizeof cut - 1);
    std::memcpy(cut, name, length);
    cut[length] = '\0';
    _mbsnbcpy(reinterpret_cast<unsigned char*>(entry.name), reinterpret_cast<const unsigned char*>(cut),
              sizeof entry.name);
}

// Records go one after the other into the locked block.
struct RecordWriter {
    unsigned char* records;
    uint32_t written;
    const char* baseName;
};

void WriteRecord(void* context, const Member& member) {
    auto* writer = static_cast<RecordWriter*>(context);
    ArchiveEntry entry;
    std::memset(&entry, 0, sizeof entry);
    if (member.name != nullptr) {
        CopyNameField(entry, member.name);
    } else {
        // ALK: numbered over the non-empty rows, from 1.
        char name[kAlkNameBytes];
        FormatAlkName(name, sizeof name, writer->baseName, writer->written + 1);
        CopyNameField(entry, name);
    }
    entry.storedSize = member.size;
    entry.size = member.size;
    entry.position = member.position;
    entry.reserved = 0;
    if (member.hasTime) {
        entry.archiveKind = ArchiveAld;
        FILETIME utc;
        utc.dwLowDateTime = static_cast<DWORD>(member.fileTime);
        utc.dwHighDateTime = static_cast<DWORD>(member.fileTime >> 32);
        // A stamp the system cannot convert (beyond its range) is left zero.
        FILETIME local = {0, 0};
        if (!FileTimeToLocalFileTime(&utc, &local)) local = FILETIME{0, 0};
        entry.timestamp = local;
        std::memcpy(entry.typeTag, kAldTag, sizeof entry.typeTag);
    } else {
        entry.archiveKind = ArchiveAlk;
        std::memcpy(entry.typeTag, kAlkTag, sizeof entry.typeTag);
    }
    std::memcpy(writer->records + uint64_t{writer->written} * kRecordBytes, &entry, kRecordBytes);
    ++writer->written;
}

}  // namespace

int32_t FormatPlugin::isSupportedArchive(const FileAccess* file, int32_t* kind) {
    *kind = ArchiveNone;
    const torva::Format format = torva::DetectArchive(BytesOf(file), ExtensionFor(file, torva::Format::Ald));
    if (format == torva::Format::Ald) *kind = ArchiveAld;
    if (format == torva::Format::Alk) *kind = ArchiveAlk;
    return Ok;
}

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
    const TableRead read =
        table.read(BytesOf(file), kind == ArchiveAld ? torva::Format::Ald : torva::Format::Alk, source);
    if (read == TableRead::NoTable) return Ok;
    if (read == TableRead::Refused) return OutOfMemory;

    GlobalBlock result;
    if (!result.allocate(static_cast<SIZE_T>(table.recordSlots() * kRecordBytes))) return OutOfMemory;
    // A fresh block that cannot be locked cannot be filled: it is freed and
    // reported like a block that could not be allocated.
    auto* records = static_cast<unsigned char*>(result.lock());
    if (records == nullptr) return OutOfMemory;

    RecordWriter writer{records, 0, baseName};
    const uint32_t filled = table.walk(source, MemberSink{WriteRecord, &writer});

    *block = result.handOver();
    *count = static_cast<int32_t>(filled);
    return Ok;
}
