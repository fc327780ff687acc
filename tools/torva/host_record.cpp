#include "tools/torva/host_record.h"

#include <cstddef>
#include <cstring>

#include "tools/torva/code_page.h"
#include "tools/torva/file_system.h"

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

std::string RecordNameFor(const std::string& fileName) { return EncodeCp932(BaseName(fileName)); }

}  // namespace torva
