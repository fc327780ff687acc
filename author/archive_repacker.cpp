#include "author/archive_repacker.h"

#include <cstring>

#include "author/byte_buffer.h"

namespace author {
namespace {

const uint64_t kSector = 256;
// Positions are 32-bit signed distances for the reader.
const uint64_t kLargestArchive = uint64_t{1} << 31;
const uint64_t kLargestSector = 0xFFFFFF;  // 24-bit table entries
const uint64_t kAldTableOffsetSectors = 0;

uint64_t RoundUpToSector(uint64_t offset) { return (offset + kSector - 1) / kSector * kSector; }

// The framing gathered in one buffer and addressed by offsets of the
// original file, so that table fields are read and patched where they were.
class Framing {
public:
    explicit Framing(size_t most) : pieces_(most) {}
    bool valid() const { return pieces_.valid(); }

    bool add(uint64_t start, const uint8_t* bytes, size_t size) {
        pieces_[count_++] = Piece{start, bytes_.size(), size};
        return size == 0 || bytes_.append(bytes, size);
    }

    // The bytes at original offsets [at, at + width), when one piece holds
    // them all; null otherwise.
    uint8_t* find(uint64_t at, size_t width) {
        size_t low = 0, high = count_;
        while (low < high) {  // the first piece starting after `at`
            const size_t mid = (low + high) / 2;
            if (pieces_[mid].start <= at) {
                low = mid + 1;
            } else {
                high = mid;
            }
        }
        if (low == 0) return nullptr;
        const Piece& piece = pieces_[low - 1];
        if (at - piece.start > piece.size || width > piece.size - (at - piece.start)) return nullptr;
        return bytes_.data() + piece.offset + (at - piece.start);
    }

    bool read(uint64_t at, size_t width, uint64_t* value) {
        const uint8_t* p = find(at, width);
        if (p == nullptr) return false;
        *value = 0;
        for (size_t b = 0; b < width; ++b) *value |= uint64_t{p[b]} << (8 * b);
        return true;
    }

    // Stores `value` unless the field holds it already; false when it must
    // change and does not lie inside the framing.
    bool patch(uint64_t at, size_t width, uint64_t value) {
        uint64_t stored = 0;
        if (read(at, width, &stored) && stored == value) return true;
        uint8_t* p = find(at, width);
        if (p == nullptr) return false;
        for (size_t b = 0; b < width; ++b) p[b] = uint8_t(value >> (8 * b));
        return true;
    }

    const uint8_t* bytes(size_t piece) const { return bytes_.data() + pieces_[piece].offset; }
    size_t size(size_t piece) const { return pieces_[piece].size; }
    bool failed() const { return bytes_.failed(); }

private:
    struct Piece {
        uint64_t start;
        size_t offset;
        size_t size;
    };
    HeapArray<Piece> pieces_;
    size_t count_ = 0;
    ByteBuffer bytes_;
};

// From `threshold` (an offset of the original) on, bytes lie `shift` further.
struct Shift {
    uint64_t threshold;
    int64_t shift;
};

class Moves {
public:
    explicit Moves(size_t most) : shifts_(most) {}
    bool valid() const { return shifts_.valid(); }
    void add(uint64_t threshold, int64_t shift) { shifts_[count_++] = Shift{threshold, shift}; }
    int64_t last() const { return count_ == 0 ? 0 : shifts_[count_ - 1].shift; }
    // Where the byte at `offset` of the original lies in the rebuilt file.
    uint64_t map(uint64_t offset) const {
        size_t low = 0, high = count_;
        while (low < high) {
            const size_t mid = (low + high) / 2;
            if (shifts_[mid].threshold <= offset) {
                low = mid + 1;
            } else {
                high = mid;
            }
        }
        return low == 0 ? offset : uint64_t(int64_t(offset) + shifts_[low - 1].shift);
    }

private:
    HeapArray<Shift> shifts_;
    size_t count_ = 0;
};

// The ALK table: every row's offset moved, the placed members' sizes as
// they are now, and each row as the framing stores it.
AuthorStatus PatchAlk(const RepackRow* rows, size_t rowCount, const Moves& moves, Framing& framing) {
    uint64_t count = 0;
    if (!framing.read(4, 4, &count) || count > INT32_MAX || rowCount > count) return AuthorStatus::LayoutMismatch;
    for (size_t r = 0; r < rowCount; ++r) {
        const RepackRow& row = rows[r];
        const uint64_t at = 8 + 8 * uint64_t(r);
        uint64_t offset = 0, size = 0;
        const bool readable = framing.read(at, 4, &offset) && framing.read(at + 4, 4, &size);
        if (readable && (row.empty ? size != 0 : (offset != row.storedPosition || size != uint32_t(row.storedSize)))) {
            return AuthorStatus::LayoutMismatch;
        }
        if (!readable && row.empty) continue;
        const uint64_t moved = moves.map(readable ? offset : row.storedPosition);
        if (moved > UINT32_MAX) return AuthorStatus::ArchiveTooLarge;
        if (!framing.patch(at, 4, moved)) return AuthorStatus::LayoutFixed;
        if (row.placed && !framing.patch(at + 4, 4, row.newSize)) return AuthorStatus::LayoutFixed;
    }
    return AuthorStatus::Ok;
}

// The ALD table's sectors moved, each member's header checked against its
// row and given the member's size and time.
AuthorStatus PatchAld(const RepackRow* rows, size_t rowCount, const Moves& moves, Framing& framing) {
    uint64_t tableSectors = 0;
    if (!framing.read(kAldTableOffsetSectors, 3, &tableSectors)) return AuthorStatus::LayoutMismatch;
    const uint64_t entries = tableSectors * kSector / 3;
    size_t r = 0;
    for (uint64_t j = 2; j < entries; ++j, ++r) {
        uint64_t sector = 0;
        if (!framing.read(3 * j, 3, &sector) || sector == 0) break;
        const uint64_t header = sector * kSector;
        const uint64_t moved = moves.map(header);
        if (moved % kSector != 0 || moved / kSector > kLargestSector) return AuthorStatus::LayoutFixed;
        if (!framing.patch(3 * j, 3, moved / kSector)) return AuthorStatus::LayoutFixed;
        if (r >= rowCount) continue;  // the end marker and what follows it

        const RepackRow& row = rows[r];
        uint64_t length = 0, size = 0;
        if (!framing.read(header, 4, &length) || !framing.read(header + 4, 4, &size)) {
            // A header past the end of the file: nothing of it can be rebuilt.
            if (row.placed) return AuthorStatus::LayoutMismatch;
            continue;
        }
        const uint8_t* name = framing.find(header + 16, row.nameLength);
        const bool nameEnds = row.nameLength >= 48 || framing.find(header + 16 + row.nameLength, 1) == nullptr ||
                              *framing.find(header + 16 + row.nameLength, 1) == 0;
        if (uint32_t(header + length) != row.storedPosition || size != uint32_t(row.storedSize) || name == nullptr ||
            (row.nameLength > 0 && std::memcmp(name, row.name, row.nameLength) != 0) || !nameEnds) {
            return AuthorStatus::LayoutMismatch;
        }
        if (row.placed && !framing.patch(header + 4, 4, row.newSize)) return AuthorStatus::LayoutFixed;
        if (row.hasTime && !framing.patch(header + 8, 8, row.fileTime)) return AuthorStatus::LayoutFixed;
    }
    return r < rowCount ? AuthorStatus::LayoutMismatch : AuthorStatus::Ok;
}

}  // namespace

AuthorStatus RepackArchive(bool ald, const RepackRow* rows, size_t rowCount, const RepackSegment* segments,
                           size_t segmentCount, ArchiveSink& sink) {
    Framing framing(segmentCount);
    Moves moves(segmentCount);
    HeapArray<uint64_t> starts(segmentCount);
    HeapArray<uint64_t> zerosBefore(segmentCount);  // a resized ALD member's new padding
    HeapArray<uint64_t> skipped(segmentCount);      // and the old padding it replaces
    HeapArray<bool> seen(rowCount);
    if (!framing.valid() || !moves.valid() || !starts.valid() || !zerosBefore.valid() || !skipped.valid() ||
        !seen.valid()) {
        return AuthorStatus::OutOfMemory;
    }

    // The segments must tile the original file, each placed row once at its
    // stored position.
    uint64_t at = 0;
    size_t placedSeen = 0;
    for (size_t i = 0; i < segmentCount; ++i) {
        const RepackSegment& segment = segments[i];
        starts[i] = at;
        if (segment.row < 0) {
            if (!framing.add(at, segment.bytes, segment.size)) return AuthorStatus::OutOfMemory;
            at += segment.size;
            continue;
        }
        if (uint64_t(segment.row) >= rowCount) return AuthorStatus::LayoutMismatch;
        const RepackRow& row = rows[segment.row];
        if (!row.placed || seen[segment.row] || row.storedSize <= 0 || row.storedPosition != at) {
            return AuthorStatus::LayoutMismatch;
        }
        seen[segment.row] = true;
        ++placedSeen;
        at += uint64_t(row.storedSize);
        if (at > UINT32_MAX + uint64_t{1}) return AuthorStatus::LayoutMismatch;
    }
    size_t placedRows = 0;
    for (size_t r = 0; r < rowCount; ++r) placedRows += rows[r].placed ? 1 : 0;
    if (placedRows != placedSeen) return AuthorStatus::LayoutMismatch;
    const uint64_t originalSize = at;

    // Where everything after a resized member goes.
    bool resized = false;
    int64_t shift = 0;
    for (size_t i = 0; i < segmentCount; ++i) {
        if (segments[i].row < 0) continue;
        const RepackRow& row = rows[segments[i].row];
        if (row.newSize == uint64_t(row.storedSize)) continue;
        if (row.newSize > INT32_MAX) return AuthorStatus::MemberTooLarge;
        resized = true;
        const uint64_t oldEnd = starts[i] + uint64_t(row.storedSize);
        const uint64_t newEnd = uint64_t(int64_t(starts[i]) + shift) + row.newSize;
        const bool framingFollows = i + 1 < segmentCount && segments[i + 1].row < 0;
        if (ald && framingFollows) {
            const uint64_t room = segments[i + 1].size;
            const uint64_t sectorEnd = RoundUpToSector(oldEnd);
            const uint64_t oldPadEnd = sectorEnd - oldEnd <= room ? sectorEnd : oldEnd + room;
            if (oldPadEnd % kSector == 0) {
                const uint64_t newPadEnd = RoundUpToSector(newEnd);
                zerosBefore[i + 1] = newPadEnd - newEnd;
                skipped[i + 1] = oldPadEnd - oldEnd;
                shift = int64_t(newPadEnd) - int64_t(oldPadEnd);
                moves.add(oldPadEnd, shift);
                continue;
            }
        }
        shift += int64_t(row.newSize) - int64_t(row.storedSize);
        moves.add(oldEnd, shift);
    }
    if (resized && uint64_t(int64_t(originalSize) + moves.last()) > kLargestArchive) {
        return AuthorStatus::ArchiveTooLarge;
    }

    const AuthorStatus patched =
        ald ? PatchAld(rows, rowCount, moves, framing) : PatchAlk(rows, rowCount, moves, framing);
    if (patched != AuthorStatus::Ok) return patched;
    if (framing.failed()) return AuthorStatus::OutOfMemory;

    size_t piece = 0;
    for (size_t i = 0; i < segmentCount; ++i) {
        if (segments[i].row >= 0) {
            if (rows[segments[i].row].newSize > 0 && !sink.writeMember(size_t(segments[i].row))) {
                return AuthorStatus::WriteFailed;
            }
            continue;
        }
        const size_t size = framing.size(piece);
        const uint8_t* bytes = framing.bytes(piece);
        ++piece;
        if (!WriteZeros(sink, zerosBefore[i])) return AuthorStatus::WriteFailed;
        if (size > skipped[i] && !sink.write(bytes + skipped[i], size - size_t(skipped[i]))) {
            return AuthorStatus::WriteFailed;
        }
    }
    return AuthorStatus::Ok;
}

}  // namespace author
