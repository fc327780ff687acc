// ListArchive: the members KRV_GetArchiveInfo lists, read by the same code,
// with the stored (UTC) time stamps and a status.
#include <algorithm>
#include <cstring>
#include <new>

#include "api/api_support.h"
#include "api/host_record.h"
#include "archive/archive_layout.h"
#include "archive/archive_table.h"
#include "plugin/plugin_object.h"
#include "api/library.h"

namespace torva {
namespace api {

namespace {

using torva::archive::ArchiveSource;
using torva::archive::ArchiveTable;
using torva::archive::MemberSink;

// Detection reads no further than the largest first table an ALD may have.
constexpr uint32_t kHeadBytes = torva::archive::kAldMaxTableSectors * torva::archive::kAldSectorBytes;

struct CallerSource {
    ReadAt read;
    void* context;
};

uint32_t ReadThroughCaller(void* context, uint32_t offset, void* buffer, uint32_t bytes) {
    const auto* source = static_cast<const CallerSource*>(context);
    const size_t delivered = source->read(source->context, offset, buffer, bytes);
    return delivered > bytes ? 0 : static_cast<uint32_t>(delivered);
}

struct MemberCollector {
    std::vector<Member>* members;
    bool outOfMemory;
};

void CollectMember(void* context, const ArchiveEntry& entry, uint64_t storedTime) {
    auto* collector = static_cast<MemberCollector*>(context);
    if (collector->outOfMemory) return;
    Member member;
    member.position = entry.position;
    member.size = static_cast<uint64_t>(entry.size);
    member.hasTime = entry.archiveKind == ArchiveAld;
    member.fileTime = member.hasTime ? storedTime : 0;
    try {
        member.rawName.assign(entry.name, strnlen(entry.name, sizeof entry.name));
        collector->members->push_back(std::move(member));
    } catch (const std::bad_alloc&) {
        collector->outOfMemory = true;
    }
}

struct MemoryArchive {
    const uint8_t* bytes;
    size_t size;
};

size_t ReadFromMemory(void* context, uint64_t offset, void* buffer, size_t count) {
    const auto* archive = static_cast<const MemoryArchive*>(context);
    if (offset >= archive->size) return 0;
    const size_t delivered = static_cast<size_t>(std::min<uint64_t>(count, archive->size - offset));
    std::memcpy(buffer, archive->bytes + offset, delivered);
    return delivered;
}

}  // namespace

ArchiveListing ListArchive(const char* name, ReadAt read, void* context) {
    ArchiveListing listing;
    if (read == nullptr) return listing;
    CallerSource caller{read, context};
    const ArchiveSource source{ReadThroughCaller, &caller};

    std::vector<unsigned char> head;
    try {
        head.resize(kHeadBytes);
    } catch (const std::bad_alloc&) {
        listing.status = Status::OutOfMemory;
        return listing;
    }
    const uint32_t headBytes = ReadThroughCaller(&caller, 0, head.data(), kHeadBytes);
    torva::api::HostRecord record;
    if (!record.build(head.data(), headBytes, name, nullptr)) {
        listing.status = Status::OutOfMemory;
        return listing;
    }
    int32_t kind = ArchiveNone;
    ThePlugin().isSupportedArchive(record.get(), &kind);
    if (kind == ArchiveNone) return listing;
    listing.kind = torva::api::ArchiveKindOf(kind);

    char baseName[torva::archive::kBaseNameBytes];
    torva::archive::FormBaseName(record.get(), baseName);
    ArchiveTable table;
    table.read(record.get(), kind, source);
    MemberCollector collector{&listing.members, false};
    table.walk(baseName, source, MemberSink{CollectMember, &collector});
    if (collector.outOfMemory) {
        listing.status = Status::OutOfMemory;
    } else if (!table.listable() && table.status() == torva::DecodeStatus::Complete) {
        // A head that detection took but whose table cannot be read at all.
        listing.status = Status::Truncated;
    } else {
        listing.status = torva::api::ToStatus(table.status());
    }
    return listing;
}

ArchiveListing ListArchive(const uint8_t* bytes, size_t size, const char* name) {
    MemoryArchive archive{bytes, size};
    return ListArchive(name, ReadFromMemory, &archive);
}

}  // namespace api
}  // namespace torva
