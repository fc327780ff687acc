#include "author/archive_packer.h"

#include <cstring>

namespace author {
namespace {

const uint64_t kSector = 256;
// Positions are 32-bit signed distances for the reader.
const uint64_t kLargestArchive = uint64_t{1} << 31;

uint64_t SectorsFor(uint64_t bytes) { return (bytes + kSector - 1) / kSector; }

uint32_t AldHeaderLength(const PackMember& member) {
    const uint32_t length = uint32_t((16 + member.nameLength + 1 + 15) & ~size_t{15});
    return length < 32 ? 32 : length;
}

void PutLe24(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
}

}  // namespace

bool WriteZeros(ArchiveSink& sink, uint64_t count) {
    static const uint8_t zeros[256] = {};
    while (count > 0) {
        const size_t step = count < sizeof zeros ? size_t(count) : sizeof zeros;
        if (!sink.write(zeros, step)) return false;
        count -= step;
    }
    return true;
}

AuthorStatus CheckAldMember(const PackMember& member) {
    if (member.nameLength == 0 || std::memchr(member.name, 0, member.nameLength) != nullptr) {
        return AuthorStatus::NameEmpty;
    }
    if (member.nameLength > kAldLongestName) return AuthorStatus::NameTooLong;
    if (member.size > INT32_MAX) return AuthorStatus::MemberTooLarge;
    return AuthorStatus::Ok;
}

AuthorStatus PackAld(const PackMember* members, size_t count, ArchiveSink& sink) {
    if (count > kAldMostMembers) return AuthorStatus::TooManyMembers;
    for (size_t i = 0; i < count; ++i) {
        const AuthorStatus status = CheckAldMember(members[i]);
        if (status != AuthorStatus::Ok) return status;
    }
    const uint64_t entries = uint64_t(count) + 3;
    const uint32_t tableSectors = uint32_t(SectorsFor(entries * 3));
    const uint32_t reservedSector = 2 * tableSectors;

    // Sectors of the members and of the end marker, checked before any write.
    HeapArray<uint32_t> sectors(count + 1);
    if (!sectors.valid()) return AuthorStatus::OutOfMemory;
    uint64_t next = reservedSector + 1;
    for (size_t i = 0; i < count; ++i) {
        sectors[i] = uint32_t(next);
        next += SectorsFor(AldHeaderLength(members[i]) + members[i].size);
        if ((next + 1) * kSector > kLargestArchive) return AuthorStatus::ArchiveTooLarge;
    }
    sectors[count] = uint32_t(next);

    ByteBuffer head;
    if (!head.resize((uint64_t(reservedSector) + 1) * kSector)) return AuthorStatus::OutOfMemory;
    PutLe24(head.data(), tableSectors);
    PutLe24(head.data() + 3, reservedSector);
    for (size_t i = 0; i <= count; ++i) PutLe24(head.data() + 6 + 3 * i, sectors[i]);
    if (!sink.write(head.data(), head.size())) return AuthorStatus::WriteFailed;

    for (size_t i = 0; i < count; ++i) {
        const PackMember& member = members[i];
        uint8_t header[64] = {};
        const uint32_t headerLength = AldHeaderLength(member);
        for (int b = 0; b < 4; ++b) header[b] = uint8_t(headerLength >> (8 * b));
        for (int b = 0; b < 4; ++b) header[4 + b] = uint8_t(member.size >> (8 * b));
        for (int b = 0; b < 8; ++b) header[8 + b] = uint8_t(member.fileTime >> (8 * b));
        std::memcpy(header + 16, member.name, member.nameLength);
        if (!sink.write(header, headerLength) || !sink.writeMember(i)) return AuthorStatus::WriteFailed;
        const uint64_t used = headerLength + member.size;
        if (!WriteZeros(sink, SectorsFor(used) * kSector - used)) return AuthorStatus::WriteFailed;
    }
    uint8_t marker[kSector] = {'N', 'L', 1, 0};
    if (!sink.write(marker, sizeof marker)) return AuthorStatus::WriteFailed;
    return AuthorStatus::Ok;
}

AuthorStatus CheckAlkMember(const PackMember& member) {
    return member.size > INT32_MAX ? AuthorStatus::MemberTooLarge : AuthorStatus::Ok;
}

AuthorStatus PackAlk(const PackMember* members, size_t count, ArchiveSink& sink) {
    if (count == 0) return AuthorStatus::NoMembers;
    uint64_t offset = 8 + 8 * uint64_t(count);
    if (offset > kLargestArchive) return AuthorStatus::TooManyMembers;
    for (size_t i = 0; i < count; ++i) {
        const AuthorStatus status = CheckAlkMember(members[i]);
        if (status != AuthorStatus::Ok) return status;
        offset += members[i].size;
        if (offset > kLargestArchive) return AuthorStatus::ArchiveTooLarge;
    }
    ByteBuffer table;
    if (!table.append("ALK0", 4) || !table.pushLe32(uint32_t(count))) return AuthorStatus::OutOfMemory;
    offset = 8 + 8 * uint64_t(count);
    for (size_t i = 0; i < count; ++i) {
        table.pushLe32(uint32_t(offset));
        table.pushLe32(uint32_t(members[i].size));
        offset += members[i].size;
    }
    if (table.failed()) return AuthorStatus::OutOfMemory;
    if (!sink.write(table.data(), table.size())) return AuthorStatus::WriteFailed;
    for (size_t i = 0; i < count; ++i) {
        if (members[i].size > 0 && !sink.writeMember(i)) return AuthorStatus::WriteFailed;
    }
    return AuthorStatus::Ok;
}

}  // namespace author
