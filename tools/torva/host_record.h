// The FileAccess record as the host builds it: the fixed fields followed by
// the NUL-terminated file name stored inline, and nothing after it.
#pragma once

#include <string>
#include <vector>

#include "platform/winapi.h"
#include "plugin/records.h"

namespace torva {

class HostRecord {
public:
    // `data` must outlive the record; the plug-in reads the bytes in place.
    HostRecord(HANDLE file, const std::string& data, const std::string& fileName);
    const FileAccess* get() const { return reinterpret_cast<const FileAccess*>(storage_.data()); }

private:
    std::vector<unsigned char> storage_;
};

// The name the plug-in is shown for a file: its last component only (the
// plug-in looks at nothing before the last backslash), in code page 932 as
// the games' own names are, whatever the file system's encoding. The name
// decides detection of ALD and VSP, and ALK members are named after it.
std::string RecordNameFor(const std::string& fileName);

}  // namespace torva
