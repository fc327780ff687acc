// The few file-system operations the tool needs, over both platforms. Paths
// are byte strings in the system's code page, passed through unchanged.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace torva {

// A file open for reading, closed when the object goes.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens the file; on failure says why in `error`.
    bool open(const std::string& path, std::string& error);
    uint64_t size() const { return size_; }
    // Reads `count` bytes at `position`; false when the file ends before.
    bool read(uint64_t position, size_t count, std::string& bytes);

private:
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
};

// Writes `bytes` to `path` through a temporary file in the same directory
// that is renamed over `path` once complete, so `path` is never left half
// written. On failure the temporary file is removed and `error` says why.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

// Creates the directory and any missing parents.
bool MakeDirectories(const std::string& path, std::string& error);

bool IsDirectory(const std::string& path);
bool FileExists(const std::string& path);

// `directory` and `name` joined with the platform's separator; an empty
// directory leaves the name as it is.
std::string JoinPath(const std::string& directory, const std::string& name);

// The last component of a path ('/' and, on Windows, '\' separate).
std::string BaseName(const std::string& path);

// True when standard error is a terminal.
bool StandardErrorIsTerminal();

// Removes the temporary file of an unfinished write when the process is
// interrupted.
void InstallInterruptCleanup();

}  // namespace torva
