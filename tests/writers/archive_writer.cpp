#include "tests/writers/archive_writer.h"

#include <algorithm>
#include <stdexcept>

namespace torvatest {

namespace {

constexpr uint32_t kSector = 256;

void PutLe64(Bytes& bytes, size_t offset, uint64_t value) {
    PutLe32(bytes, offset, static_cast<uint32_t>(value));
    PutLe32(bytes, offset + 4, static_cast<uint32_t>(value >> 32));
}

void PadToSector(Bytes& bytes) { bytes.resize((bytes.size() + kSector - 1) / kSector * kSector, 0); }

}  // namespace

void PutAldEntry(Bytes& bytes, size_t index, uint32_t value) {
    const size_t offset = index * 3;
    if (bytes.size() < offset + 3) bytes.resize(offset + 3, 0);
    bytes[offset] = static_cast<unsigned char>(value);
    bytes[offset + 1] = static_cast<unsigned char>(value >> 8);
    bytes[offset + 2] = static_cast<unsigned char>(value >> 16);
}

void PutLe32(Bytes& bytes, size_t offset, uint32_t value) {
    if (bytes.size() < offset + 4) bytes.resize(offset + 4, 0);
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

Bytes WriteAld(const std::vector<AldMember>& members, const AldOptions& options, AldLayout* layout) {
    const uint32_t t0 = options.tableSectors;
    if (t0 == 0 || t0 > 255) throw std::invalid_argument("ALD table sectors must be 1 to 255");
    const uint32_t t1 = options.beforeFirstSector != 0 ? options.beforeFirstSector : 2 * t0;
    const uint32_t first = options.firstMemberSector != 0 ? options.firstMemberSector : t1 + 1;
    if (first <= t1) throw std::invalid_argument("ALD members must lie after t[1]");
    const size_t entries = size_t{t0} * kSector / 3;  // t[0] .. t[entries - 1]
    if (members.size() + 2 > entries) throw std::invalid_argument("too many ALD members for the table");

    AldLayout placed;
    Bytes bytes(size_t{first} * kSector, 0);
    for (const AldMember& member : members) {
        if (member.name.size() > 48) throw std::invalid_argument("ALD names hold at most 48 bytes");
        const size_t fixed = 16 + std::min<size_t>(member.name.size() + 1, 48);
        uint32_t headerLength = member.headerLength;
        if (headerLength == 0) headerLength = static_cast<uint32_t>(std::max<size_t>(32, (fixed + 15) / 16 * 16));
        if (headerLength < fixed) throw std::invalid_argument("ALD header length too short for its name");

        const size_t start = bytes.size();
        const uint32_t sector = static_cast<uint32_t>(start / kSector);
        bytes.resize(start + headerLength, 0);
        PutLe32(bytes, start, headerLength);
        PutLe32(bytes, start + 4, member.sizeField.value_or(static_cast<uint32_t>(member.data.size())));
        PutLe64(bytes, start + 8, member.utcFileTime);
        std::copy(member.name.begin(), member.name.end(), bytes.begin() + start + 16);
        bytes.insert(bytes.end(), member.data.begin(), member.data.end());
        PadToSector(bytes);

        placed.memberSectors.push_back(sector);
        placed.dataPositions.push_back(sector * kSector + headerLength);
    }
    if (options.endMarker) {
        placed.endMarkerSector = static_cast<uint32_t>(bytes.size() / kSector);
        const size_t start = bytes.size();
        bytes.resize(start + kSector, 0);
        bytes[start] = 'N';
        bytes[start + 1] = 'L';
        bytes[start + 2] = 0x01;
        bytes[start + 3] = 0x00;
    }

    PutAldEntry(bytes, 0, t0);
    PutAldEntry(bytes, 1, t1);
    for (size_t i = 0; i < placed.memberSectors.size(); ++i) PutAldEntry(bytes, i + 2, placed.memberSectors[i]);
    if (options.endMarker && placed.memberSectors.size() + 3 <= entries) {
        PutAldEntry(bytes, placed.memberSectors.size() + 2, placed.endMarkerSector);
    }
    if (layout != nullptr) *layout = placed;
    return bytes;
}

Bytes WriteAlk(const std::vector<AlkMember>& rows) {
    const uint32_t count = static_cast<uint32_t>(rows.size());
    Bytes bytes(8 + size_t{8} * count, 0);
    bytes[0] = 'A';
    bytes[1] = 'L';
    bytes[2] = 'K';
    bytes[3] = '0';
    PutLe32(bytes, 4, count);
    Bytes data;
    for (uint32_t i = 0; i < count; ++i) {
        const AlkMember& row = rows[i];
        const uint32_t at = static_cast<uint32_t>(bytes.size() + data.size());
        uint32_t size = 0;
        if (!row.empty) {
            data.insert(data.end(), row.data.begin(), row.data.end());
            size = static_cast<uint32_t>(row.data.size());
        }
        PutLe32(bytes, 8 + size_t{8} * i, row.offsetField.value_or(at));
        PutLe32(bytes, 12 + size_t{8} * i, row.sizeField.value_or(size));
    }
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

}  // namespace torvatest
