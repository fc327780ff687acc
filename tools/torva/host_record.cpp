#include "tools/torva/host_record.h"

#include <cstddef>
#include <cstring>

namespace torva {

HostRecord::HostRecord(HANDLE file, const std::string& data, const std::string& fileName) {
    const size_t nameOffset = offsetof(FileAccess, fileName);
    storage_.assign(nameOffset + fileName.size() + 1, 0);
    FileAccess fixed;
    std::memset(&fixed, 0, sizeof fixed);
    fixed.hFile = file;
    fixed.data = reinterpret_cast<const unsigned char*>(data.data());
    fixed.dataSize = static_cast<uint32_t>(data.size());
    std::memcpy(storage_.data(), &fixed, nameOffset);
    std::memcpy(storage_.data() + nameOffset, fileName.c_str(), fileName.size() + 1);
}

std::string RecordNameForPath(const std::string& path) {
    std::string name = path;
    for (char& c : name) {
        if (c == '/') c = '\\';
    }
    return name;
}

FileHandle::FileHandle(const std::string& path)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

FileHandle::~FileHandle() {
    if (valid()) CloseHandle(handle_);
}

}  // namespace torva
