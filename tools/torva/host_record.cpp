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

std::string RecordNameFor(const std::string& fileName) {
    const std::string name = EncodeCp932(BaseName(fileName));
    // A double-byte character whose trail byte is '\' would be cut at that
    // byte wherever the plug-in runs under another code page (and natively,
    // where it reads names byte by byte), so it becomes '_' everywhere.
    std::string record;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (IsCp932Lead(c) && i + 1 < name.size()) {
            if (name[i + 1] == '\\') {
                record += '_';
            } else {
                record.append(name, i, 2);
            }
            ++i;
        } else {
            record += char(c);
        }
    }
    return record;
}

}  // namespace torva
