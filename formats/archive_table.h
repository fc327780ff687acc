// The table of an archive and the walk over its members, read through a
// callback: the plug-in reads through its host's file handle, the C interface
// through its caller. The walk hands on each member's facts as stored; what a
// host makes of them (records, time zones, name fields) is the host's.
#pragma once

#include <cstdint>

#include "base/byte_span.h"
#include "base/decode_status.h"
#include "base/heap_buffer.h"
#include "formats/archive_layout.h"
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
    // ALD: the header's name, NUL-terminated (at most 48 bytes), valid
    // during the call that receives it. ALK stores no names: null, and each
    // host makes one (FormatAlkName) from the number it chooses.
    const char* name;
    // The member's table row, from 0: the ALK row (empty rows count) or the
    // ALD entry (t[2] is row 0).
    uint32_t row;
    // ALD: where the member's header begins; ALK: 0.
    uint32_t headerPosition;
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

// The made-up name of an ALK member: the stem (at most kBaseNameBytes - 1
// bytes), '_', `number` in at least three digits and ".dat", cut to fit
// `size` bytes with its terminator. The plug-in numbers the non-empty rows
// from 1; the C interface uses the row + 1, so that names keep their row.
void FormatAlkName(char* out, uint32_t size, const char* stem, uint32_t number);

// Enough for every name FormatAlkName makes.
constexpr uint32_t kAlkNameBytes = kBaseNameBytes + 32;

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
    // returns how many it handed.
    uint32_t walk(ArchiveSource source, MemberSink sink);

    // Truncated when the file ended inside the table or a member header,
    // OutsideFile when a member header lies beyond what an offset can reach,
    // TooLarge, Corrupt or OutOfMemory when read() refused the table,
    // Complete otherwise.
    DecodeStatus status() const { return status_; }

private:
    uint32_t walkAld(ArchiveSource source, MemberSink sink);
    uint32_t walkAlk(MemberSink sink);

    Format format_ = Format::None;
    bool ready_ = false;
    uint64_t recordSlots_ = 0;
    DecodeStatus status_ = DecodeStatus::Complete;
    HeapBuffer table_;
};

}  // namespace archive
}  // namespace torva
