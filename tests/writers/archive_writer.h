// Writers that build ALD and ALK archives from a list of members, for tests
// and tools. Every field the listing reads can be set or overridden, so that
// both well-formed and deliberately damaged archives can be made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace torvatest {

struct AldMember {
    // Raw name bytes in the multibyte code page. Up to 47 bytes are stored
    // with a terminator; exactly 48 bytes are stored without one.
    std::string name;
    Bytes data;
    // Time stamp as a UTC FILETIME value (100 ns ticks since 1601).
    uint64_t utcFileTime = 0;
    // Header length: 0 picks the smallest multiple of 16 (at least 32) that
    // holds the fixed fields and the name; any other value must hold them too.
    // Lengths above 64 put padding between the header and the data.
    uint32_t headerLength = 0;
    // The stored size field; by default data.size().
    std::optional<uint32_t> sizeField;
};

struct AldOptions {
    // t[0]: sectors of the first table (1 to 255).
    uint32_t tableSectors = 1;
    // t[1]: 0 picks 2 x tableSectors. The sectors from the end of the first
    // table up to and including t[1] are left zero.
    uint32_t beforeFirstSector = 0;
    // Sector of the first member: 0 picks the one after t[1].
    uint32_t firstMemberSector = 0;
    // Write an end-marker sector ("NL\x01\x00") after the last member, and
    // list it in the table when there is room for it.
    bool endMarker = true;
};

// Where the writer put things, for the expectations of tests.
struct AldLayout {
    std::vector<uint32_t> memberSectors;
    std::vector<uint32_t> dataPositions;  // sector x 256 + header length
    uint32_t endMarkerSector = 0;         // 0 when none was written
};

// A complete ALD file. Throws std::invalid_argument when the members do not
// fit the table or a header length cannot hold its fields.
Bytes WriteAld(const std::vector<AldMember>& members, const AldOptions& options = AldOptions(),
               AldLayout* layout = nullptr);

struct AlkMember {
    Bytes data;
    // An empty row: size 0, no data.
    bool empty = false;
    // Overrides of the row's fields; by default the offset the data is
    // written at and data.size().
    std::optional<uint32_t> offsetField;
    std::optional<uint32_t> sizeField;

    static AlkMember Empty() {
        AlkMember row;
        row.empty = true;
        return row;
    }
};

// A complete ALK file: "ALK0", the count, the rows, then the data of the
// non-empty rows back to back.
Bytes WriteAlk(const std::vector<AlkMember>& rows);

// The 3-byte little-endian entry t[index] of an ALD head, for tests that
// build or damage tables by hand.
void PutAldEntry(Bytes& bytes, size_t index, uint32_t value);
void PutLe32(Bytes& bytes, size_t offset, uint32_t value);

}  // namespace torvatest
