// What the encode and pack commands need from the file system beyond the
// tool's common file operations: file facts, directory walks, member names
// in code page 932, and outputs that appear whole or not at all.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace torva {

struct FileFacts {
    bool directory = false;
    uint64_t size = 0;
    uint64_t fileTime = 0;  // last modification: 100 ns units since 1601-01-01, UTC
};

bool StatFile(const std::string& path, FileFacts& facts, std::string& error);

// The entries of a directory, without "." and "..", in no particular order.
bool ListDirectory(const std::string& path, std::vector<std::string>& names, std::string& error);

// A file name as the system gives it (UTF-8 on Linux, the ANSI code page on
// Windows) in code page 932; false when some character has no code there.
bool NameToCodePage932(const std::string& name, std::string& converted);

// A file written in steps under a temporary name beside its target, which
// takes the target's name only on commit. An uncommitted file is removed.
class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    bool open(const std::string& target, std::string& error);
    bool write(const void* bytes, size_t count);
    // Replaces an existing target only when `replace`; otherwise an existing
    // target is left alone and the commit fails.
    bool commit(bool replace, std::string& error);

private:
    std::FILE* file_ = nullptr;
    std::string temporary_;
    std::string target_;
    bool failed_ = false;
};

}  // namespace torva
