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

// The name the plug-in is shown for a path given on the command line. The
// plug-in treats names as Windows paths and only looks at the part after the
// last backslash, so '/' separators are turned into backslashes ('/' is
// never the trail byte of a double-byte character).
std::string RecordNameForPath(const std::string& path);

// An open read handle for the record's hFile, closed when the object goes.
class FileHandle {
public:
    explicit FileHandle(const std::string& path);
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace torva
