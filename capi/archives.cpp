// Archive listing through the C interface.
#include <algorithm>
#include <cstring>

#include "api/library.h"
#include "capi/statuses.h"
#include "torvasoft/torvasoft.h"

namespace {

torvasoft_status Deliver(const torva::api::ArchiveListing& listing, int* kind, torvasoft_member* members,
                         size_t capacity, size_t* count) {
    if (kind != nullptr) *kind = torva::capi::ToC(listing.kind);
    const size_t found = listing.members.size();
    if (count != nullptr) *count = found;
    const size_t written = std::min(found, capacity);
    for (size_t i = 0; i < written; ++i) {
        const torva::api::Member& from = listing.members[i];
        torvasoft_member& to = members[i];
        std::memset(&to, 0, sizeof to);
        // Stored names are at most 255 bytes: the listing keeps them below
        // the terminator of a 256-byte field.
        const size_t nameBytes = std::min(from.rawName.size(), sizeof to.raw_name - 1);
        std::memcpy(to.raw_name, from.rawName.data(), nameBytes);
        to.raw_name_size = nameBytes;
        to.position = from.position;
        to.size = from.size;
        to.has_time = from.hasTime ? 1 : 0;
        to.file_time = from.fileTime;
    }
    const torvasoft_status status = torva::capi::ToC(listing.status);
    if (status == TORVASOFT_COMPLETE && found > capacity) return TORVASOFT_BUFFER_TOO_SMALL;
    return status;
}

bool ValidOut(torvasoft_member* members, size_t capacity) { return members != nullptr || capacity == 0; }

}  // namespace

extern "C" {

torvasoft_status torvasoft_list(const char* name, torvasoft_read_fn read, void* context, int* kind,
                                torvasoft_member* members, size_t capacity, size_t* count) {
    if (kind != nullptr) *kind = TORVASOFT_KIND_NONE;
    if (count != nullptr) *count = 0;
    if (read == nullptr || !ValidOut(members, capacity)) return TORVASOFT_INVALID_ARGUMENT;
    return Deliver(torva::api::ListArchive(name, read, context), kind, members, capacity, count);
}

torvasoft_status torvasoft_list_memory(const uint8_t* bytes, size_t size, const char* name, int* kind,
                                       torvasoft_member* members, size_t capacity, size_t* count) {
    if (kind != nullptr) *kind = TORVASOFT_KIND_NONE;
    if (count != nullptr) *count = 0;
    if ((bytes == nullptr && size != 0) || !ValidOut(members, capacity)) return TORVASOFT_INVALID_ARGUMENT;
    return Deliver(torva::api::ListArchive(bytes, size, name), kind, members, capacity, count);
}

}  // extern "C"
