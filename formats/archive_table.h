// The table of an archive and the walk over its members, read through a
// callback: the plug-in reads through its host's file handle, the C interface
// through its caller. The walk hands on each member's facts as stored; what a
// host makes of them (records, time zones, name fields) is the host's.
#pragma once

#include <cstdint>

#include "base/byte_span.h"
#include "base/decode_status.h"
#include "base/heap_buffer.h"
#include "formats/format.h"

namespace torva {
namespace archive {

// Where the table and the member headers are read: `bytes` at `offset` into
// `buffer`; the number of bytes delivered (fewer at the end of the file or
// on an error, never more than asked for).
struct ArchiveSource {
    uint32_t (*readAt)(void* context, uint32_t offset, void* buffer, uint32_t bytes);
    void* context;
};

// One member as the walk meets it.
struct Member {
    // NUL-terminated, valid during the call that receives it: an ALD
    // header's name (at most 48 bytes), or an ALK member's made-up name
    // (the stem, '_', the running number of at least three digits, ".dat"),
    // which may be longer than a host's name field.
    const char* name;
    uint32_t position;  // where the member's bytes begin, in 32 bits as stored
    int32_t size;       // as stored (signed)
    bool hasTime;       // ALD members carry a time stamp, ALK members none
    uint64_t fileTime;  // the stored stamp: 100 ns units since 1601-01-01, UTC
};

struct MemberSink {
    void (*take)(void* context, const Member& member);
    void* context;
};

// What reading the table came to.
enum class TableRead {
    NoTable,  // the head holds no table to read (answered as no archive)
    Refused,  // the table or its records cannot be had; status() says why
    Ready,    // walk() may run
};

class ArchiveTable {
public:
    // Reads the table of an archive already detected as `format` (Ald or
    // Alk; anything else has no table). The head values come from `head`,
    // the table itself through `source`. Refused for a table declared empty
    // (Corrupt), one beyond what one call may allocate (TooLarge), or when
    // the heap refuses (OutOfMemory).
    TableRead read(ByteSpan head, Format format, ArchiveSource source);

    // Members the walk may hand on: one per table row the file delivered.
    uint64_t recordSlots() const { return recordSlots_; }

    // Walks the table, handing at most recordSlots() members to `sink`;
    // returns how many it handed. `stem` names ALK members.
    uint32_t walk(const char* stem, ArchiveSource source, MemberSink sink);

    // Truncated when the file ended inside the table or a member header,
    // OutsideFile when a member header lies beyond what an offset can reach,
    // TooLarge, Corrupt or OutOfMemory when read() refused the table,
    // Complete otherwise.
    DecodeStatus status() const { return status_; }

private:
    uint32_t walkAld(ArchiveSource source, MemberSink sink);
    uint32_t walkAlk(const char* stem, MemberSink sink);

    Format format_ = Format::None;
    bool ready_ = false;
    uint64_t recordSlots_ = 0;
    DecodeStatus status_ = DecodeStatus::Complete;
    HeapBuffer table_;
};

}  // namespace archive
}  // namespace torva
