#include "api/host_record.h"

#include <cstring>
#include <new>

namespace torva {
namespace api {

bool HostRecord::build(const uint8_t* bytes, uint32_t size, const char* name, HANDLE handle) {
    const char* shown = name == nullptr ? "" : name;
    // '/' (0x2F) is below every trail byte of the double-byte code pages, so
    // a plain search cannot land inside a character.
    const char* slash = std::strrchr(shown, '/');
    if (slash != nullptr) shown = slash + 1;
    const size_t nameBytes = std::strlen(shown);
    // The name and two terminators, so that no search runs past its end.
    const size_t recordBytes = offsetof(FileAccess, fileName) + nameBytes + 2;
    try {
        storage_.assign((recordBytes + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    auto* record = reinterpret_cast<FileAccess*>(storage_.data());
    record->hFile = handle;
    record->data = bytes;
    record->dataSize = size;
    std::memcpy(reinterpret_cast<char*>(record) + offsetof(FileAccess, fileName), shown, nameBytes);
    return true;
}

}  // namespace api
}  // namespace torva
