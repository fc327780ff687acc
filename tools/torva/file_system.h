// The file-system operations the tool needs, over both platforms. Paths are
// UTF-8 everywhere: natively they are passed through as bytes; on Windows
// they go through the wide-character API, so any name works under any
// system code page.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace torva {

// A file open for reading, closed when the object goes. Reads may come from
// several threads at once: each read is one positioned read under a lock.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens the file; on failure says why in `error`.
    bool open(const std::string& path, std::string& error);
    uint64_t size() const { return size_; }
    // Reads `count` bytes at `position`; false when the file ends before or
    // memory runs out.
    bool read(uint64_t position, size_t count, std::string& bytes);

private:
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
    std::mutex lock_;
};

// Creates the directory and any missing parents.
bool MakeDirectories(const std::string& path, std::string& error);

bool IsDirectory(const std::string& path);
bool FileExists(const std::string& path);

// The names in a directory (without "." and ".."), sorted bytewise, each
// flagged as a directory or not. False when it cannot be read.
struct DirectoryEntry {
    std::string name;
    bool directory = false;
};
bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries, std::string& error);

// What a file is: a directory or not, its size, its modification time.
struct FileFacts {
    bool directory = false;
    uint64_t size = 0;
    uint64_t fileTime = 0;  // 100 ns units since 1601-01-01, UTC
};
bool StatFile(const std::string& path, FileFacts& facts, std::string& error);

// Sets a file's modification time, given as a FILETIME in UTC.
bool SetModificationTime(const std::string& path, uint64_t utcFileTime);

// `directory` and `name` joined with the platform's separator; an empty
// directory leaves the name as it is.
std::string JoinPath(const std::string& directory, const std::string& name);

// The last component of a path ('/' and, on Windows, '\' separate).
std::string BaseName(const std::string& path);

// True when standard error is a terminal.
bool StandardErrorIsTerminal();
// True when standard output is a terminal (a Windows console), where the
// bytes of a picture or member would only garble the screen.
bool StandardOutputIsTerminal();

// Standard input, read whole; false (with `error`) when it cannot be.
bool ReadStandardInput(std::string& bytes, std::string& error);

void RemoveFileQuietly(const std::string& path);

// Writes to standard output or error unchanged (no line-end translation);
// false on any error. A Windows console is given the text as UTF-16, so it
// shows the same characters under any code page.
bool WriteStandardOutput(const std::string& bytes);
void WriteStandardError(const std::string& text);
// Flushes standard output; false when anything written to it was lost.
bool FlushStandardOutput(std::string& error);

// The machine's number of cores (at least 1).
unsigned CoreCount();

}  // namespace torva
