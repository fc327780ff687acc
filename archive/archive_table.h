// The listing of an archive's members, shared by KRV_GetArchiveInfo (which
// reads through the host's file handle into a global block) and the public
// API (which reads through its caller and keeps the members).
#pragma once

#include <cstdint>

#include "base/decode_status.h"
#include "base/heap_buffer.h"
#include "plugin/records.h"

namespace torva {
namespace archive {

// Where the table and the member headers are read: `bytes` at `offset` into
// `buffer`; the number of bytes delivered (fewer at the end of the file or
// on an error).
struct ArchiveSource {
    uint32_t (*readAt)(void* context, uint32_t offset, void* buffer, uint32_t bytes);
    void* context;
};

// Receives each member in turn: the record as the host gets it, and the
// stored time stamp (UTC, ALD only; 0 for ALK).
struct MemberSink {
    void (*emit)(void* context, const ArchiveEntry& entry, uint64_t storedTime);
    void* context;
};

class ArchiveTable {
public:
    // Reads the table of an archive already detected as `kind`. Ok with
    // listable() false when the head holds no table to read (answered as no
    // archive); OutOfMemory when the table or its records cannot be had (a
    // table declared empty or beyond one call's allocation included).
    int32_t read(const FileAccess* file, int32_t kind, ArchiveSource source);

    bool listable() const { return listable_; }
    // Records the walk may fill: one per table row the file delivered.
    uint64_t recordSlots() const { return recordSlots_; }

    // Walks the table, handing at most recordSlots() members to `sink`;
    // returns how many it handed.
    uint32_t walk(const char* baseName, ArchiveSource source, MemberSink sink);

    // Truncated when the file ended inside the table or a member header,
    // OutsideFile when a member header lies beyond what an offset can reach,
    // TooLarge or Corrupt when read() refused the table (too large to hold,
    // declared empty), Complete otherwise.
    DecodeStatus status() const { return status_; }

private:
    uint32_t walkAld(ArchiveSource source, MemberSink sink);
    uint32_t walkAlk(const char* baseName, MemberSink sink);

    int32_t kind_ = ArchiveNone;
    bool listable_ = false;
    uint64_t recordSlots_ = 0;
    DecodeStatus status_ = DecodeStatus::Complete;
    HeapBuffer table_;
};

// The name of the archive after its last backslash, up to its last '.', in
// a buffer of kBaseNameBytes (archive_layout.h).
void FormBaseName(const FileAccess* file, char* baseName);

}  // namespace archive
}  // namespace torva
