// ALD and ALK writers. Each checks every member first and only then streams
// the archive, in file order, to a sink that supplies the members' bytes, so
// archives larger than memory can be written and nothing is written for a
// set of members that cannot be packed.
//
// ALD layout written: the first table in as few sectors as hold its entries
// (t[0], t[1], one per member, one for the end marker); t[1] = 2 x t[0], the
// sectors from the table's end up to t[1] zero; members from sector t[1] + 1
// on, each starting a sector with a header of 16 + name + terminator bytes
// rounded up to 16 (at least 32); after the last member one sector holding
// the end marker "NL\x01\x00", listed in the table. ALK: "ALK0", the count,
// one row per member in the order given, the members back to back. A member
// of 0 bytes becomes an empty row (the format has no other way to hold it).
#pragma once

#include <cstddef>
#include <cstdint>

#include "author/author_status.h"
#include "author/byte_buffer.h"

namespace author {

struct PackMember {
    const uint8_t* name = nullptr;  // ALD: the name in code page 932, no terminator
    size_t nameLength = 0;
    uint64_t size = 0;              // bytes of the member
    uint64_t fileTime = 0;          // ALD: 100 ns units since 1601-01-01, UTC
};

class ArchiveSink {
public:
    // Appends bytes of the archive.
    virtual bool write(const uint8_t* bytes, size_t count) = 0;
    // Appends the bytes of member `index`, exactly its `size` of them.
    virtual bool writeMember(size_t index) = 0;

protected:
    ~ArchiveSink() = default;
};

// Appends `count` zero bytes to `sink`.
bool WriteZeros(ArchiveSink& sink, uint64_t count);

constexpr size_t kAldLongestName = 47;
// Entries of a 255-sector table, less t[0], t[1] and the end marker.
constexpr size_t kAldMostMembers = 255 * 256 / 3 - 3;

// The reason a member cannot go into an ALD archive, or Ok.
AuthorStatus CheckAldMember(const PackMember& member);
// The reason a member cannot go into an ALK archive, or Ok.
AuthorStatus CheckAlkMember(const PackMember& member);

AuthorStatus PackAld(const PackMember* members, size_t count, ArchiveSink& sink);
AuthorStatus PackAlk(const PackMember* members, size_t count, ArchiveSink& sink);

// A sink over memory, for members already in memory: `memberBytes[i]` holds
// the `members[i].size` bytes of member i.
class MemorySink : public ArchiveSink {
public:
    MemorySink(ByteBuffer& out, const uint8_t* const* memberBytes, const PackMember* members)
        : out_(out), bytes_(memberBytes), members_(members) {}
    bool write(const uint8_t* bytes, size_t count) override { return out_.append(bytes, count); }
    bool writeMember(size_t index) override { return out_.append(bytes_[index], size_t(members_[index].size)); }

private:
    ByteBuffer& out_;
    const uint8_t* const* bytes_;
    const PackMember* members_;
};

}  // namespace author
