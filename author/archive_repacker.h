// Rebuilding an archive from its layout (formats/archive_structure.h): the
// framing as it was, each placed member's bytes as they are now. With no
// member changed the result is the original file, byte for byte. A member
// whose size changed moves what follows it, and the writer rewrites what
// must follow: the member's own stored size (ALK row, ALD header), the ALK
// offsets and ALD sector numbers that point past it. In an ALD the sector
// boundary after a resized member is kept: its padding is recomputed as
// zeros up to the next sector, and the framing from that sector on is
// copied as it was. Nothing else in the framing changes. ALD time stamps
// come from the rows (a changed stamp is written into its header); ALD
// names must be the stored ones.
#pragma once

#include <cstddef>
#include <cstdint>

#include "author/archive_packer.h"
#include "author/author_status.h"

namespace author {

struct RepackRow {
    bool empty = true;   // an ALK row of size 0
    bool placed = false;  // the member's bytes are a segment of their own
    uint32_t storedPosition = 0;
    int32_t storedSize = 0;
    uint64_t newSize = 0;  // placed members: the bytes writeMember(row) will give
    bool hasTime = false;  // ALD: the stamp to store
    uint64_t fileTime = 0;
    const uint8_t* name = nullptr;  // ALD: the stored name, which must match its header
    size_t nameLength = 0;
};

// One piece of the original file, in file order: a placed member (`row` its
// index) or framing (`row` < 0, its bytes at `bytes`).
struct RepackSegment {
    int64_t row = -1;
    const uint8_t* bytes = nullptr;
    size_t size = 0;
};

// Checks that the rows and segments describe one archive (every placed row
// once, at its stored position, with its stored size; the tables and
// headers in the framing agreeing with the rows), then streams the rebuilt
// archive to `sink`; `sink.writeMember(i)` writes row i's newSize bytes.
// LayoutMismatch when they disagree, LayoutFixed when a field that must
// change lies outside the framing, MemberTooLarge / ArchiveTooLarge when a
// changed member cannot be stored; nothing is written then.
AuthorStatus RepackArchive(bool ald, const RepackRow* rows, size_t rowCount, const RepackSegment* segments,
                           size_t segmentCount, ArchiveSink& sink);

}  // namespace author
