// Archive detection and listing through the C interface: the core's table
// walk through the caller's read function, each member written straight
// into the caller's array.
#include <algorithm>
#include <cstring>

#include "base/heap_buffer.h"
#include "formats/archive_detection.h"
#include "formats/archive_layout.h"
#include "formats/archive_table.h"
#include "formats/file_names.h"
#include "capi/member_extension.h"
#include "capi/statuses.h"
#include "torvasoft/torvasoft.h"

namespace {

using torva::archive::ArchiveSource;
using torva::archive::ArchiveTable;
using torva::archive::Member;
using torva::archive::MemberSink;
using torva::archive::TableRead;

// Detection reads no further than the largest first table an ALD may have.
constexpr uint32_t kHeadBytes = torva::archive::kAldMaxTableSectors * torva::archive::kAldSectorBytes;

struct CallerSource {
    torvasoft_read_fn read;
    void* context;
};

uint32_t ReadThroughCaller(void* context, uint32_t offset, void* buffer, uint32_t bytes) {
    const auto* source = static_cast<const CallerSource*>(context);
    const size_t delivered = source->read(source->context, offset, buffer, bytes);
    return delivered > bytes ? 0 : static_cast<uint32_t>(delivered);
}

// Members go into the caller's array while it has room; the rest are only
// counted, and their bytes never read.
struct MemberWriter {
    torvasoft_member* members;
    size_t capacity;
    size_t found;
    const char* stem;
    torva::archive::ArchiveSource source;  // where ALK members are read to name them
    torva::capi::MemberKinds kinds;
    bool outOfMemory;
};

void WriteMember(void* context, const Member& from) {
    auto* writer = static_cast<MemberWriter*>(context);
    // The count ends with the member that could not be named.
    if (writer->outOfMemory) return;
    if (writer->found < writer->capacity) {
        torvasoft_member& to = writer->members[writer->found];
        std::memset(&to, 0, sizeof to);
        if (from.name == nullptr) {
            // ALK names carry the row (from 1), so that a member keeps its
            // name whatever rows before it are empty, and the extension of
            // what its bytes are.
            char alkName[torva::archive::kAlkNameBytes];
            torva::archive::FormatAlkName(alkName, sizeof alkName, writer->stem, from.row + 1);
            const char* extension = writer->kinds.extensionOf(writer->source, from.position, from.size);
            if (extension == nullptr) {
                writer->outOfMemory = true;
                return;
            }
            to.raw_name_size = torva::capi::NameWithExtension(alkName, extension, to.raw_name, sizeof to.raw_name);
        } else {
            // Kept below the terminator of the name field.
            const size_t nameBytes = strnlen(from.name, sizeof to.raw_name - 1);
            std::memcpy(to.raw_name, from.name, nameBytes);
            to.raw_name_size = nameBytes;
        }
        to.position = from.position;
        // Sign-extended first: a stored size of 2 GiB or more reads as negative.
        to.size = static_cast<uint64_t>(int64_t{from.size});
        to.has_time = from.hasTime ? 1 : 0;
        to.file_time = from.fileTime;
        to.row = from.row;
    }
    ++writer->found;
}

torvasoft_status List(const char* name, CallerSource caller, int* kind, torvasoft_member* members,
                      size_t capacity, size_t* count) {
    torva::HeapBuffer head;
    if (!head.allocateUninitialised(kHeadBytes)) return TORVASOFT_OUT_OF_MEMORY;
    const uint32_t headBytes = ReadThroughCaller(&caller, 0, head.data(), kHeadBytes);
    const torva::ByteSpan headSpan{head.data(), headBytes};
    const torva::Format format = torva::DetectArchive(headSpan, torva::ExtensionOfName(name));
    if (format == torva::Format::None) return TORVASOFT_NOT_RECOGNISED;
    if (kind != nullptr) *kind = torva::capi::ToC(format);

    char stem[torva::archive::kBaseNameBytes];
    torva::StemOfName(name, stem);
    const ArchiveSource source{ReadThroughCaller, &caller};
    ArchiveTable table;
    const TableRead read = table.read(headSpan, format, source);
    // A head that detection took but whose table cannot be read at all.
    if (read == TableRead::NoTable) return TORVASOFT_TRUNCATED;
    MemberWriter writer{members, capacity, 0, stem, source, {}, false};
    table.walk(source, MemberSink{WriteMember, &writer});
    if (count != nullptr) *count = writer.found;
    if (writer.outOfMemory) return TORVASOFT_OUT_OF_MEMORY;
    const torvasoft_status status = torva::capi::ToC(table.status());
    if (status == TORVASOFT_COMPLETE && writer.found > capacity) return TORVASOFT_BUFFER_TOO_SMALL;
    return status;
}

bool ValidOut(torvasoft_member* members, size_t capacity) { return members != nullptr || capacity == 0; }

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

extern "C" {

torvasoft_status torvasoft_list(const char* name, torvasoft_read_fn read, void* context, int* kind,
                                torvasoft_member* members, size_t capacity, size_t* count) {
    if (kind != nullptr) *kind = TORVASOFT_KIND_NONE;
    if (count != nullptr) *count = 0;
    if (read == nullptr || !ValidOut(members, capacity)) return TORVASOFT_INVALID_ARGUMENT;
    return List(name, CallerSource{read, context}, kind, members, capacity, count);
}

torvasoft_status torvasoft_list_memory(const uint8_t* bytes, size_t size, const char* name, int* kind,
                                       torvasoft_member* members, size_t capacity, size_t* count) {
    if (kind != nullptr) *kind = TORVASOFT_KIND_NONE;
    if (count != nullptr) *count = 0;
    if ((bytes == nullptr && size != 0) || !ValidOut(members, capacity)) return TORVASOFT_INVALID_ARGUMENT;
    MemoryArchive archive{bytes, size};
    return List(name, CallerSource{ReadFromMemory, &archive}, kind, members, capacity, count);
}

}  // extern "C"
