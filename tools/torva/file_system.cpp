#include "tools/torva/file_system.h"

#include <cstring>
#include <new>
#include <thread>

#include "tools/torva/file_system_platform.h"

namespace torva {

InputFile::~InputFile() {
    if (file_ != nullptr) std::fclose(file_);
}

bool InputFile::open(const std::string& path, std::string& error) {
    if (IsDirectory(path)) {
        error = "is a directory";
        return false;
    }
    file_ = platform::OpenFile(path, "rb");
    if (file_ == nullptr) {
        error = platform::LastErrorText();
        return false;
    }
    size_ = platform::SizeOf(file_);
    return true;
}

bool InputFile::read(uint64_t position, size_t count, std::string& bytes) {
    bytes.clear();
    if (position > size_ || count > size_ - position) return false;
    try {
        bytes.assign(count, '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (count == 0) return true;
    std::lock_guard<std::mutex> hold(lock_);
    return platform::Seek(file_, position) && std::fread(&bytes[0], 1, count, file_) == count;
}

bool MakeDirectories(const std::string& path, std::string& error) {
    if (path.empty() || IsDirectory(path)) return true;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && !platform::IsSeparator(path[i])) continue;
        const std::string prefix = path.substr(0, i);
        if (IsDirectory(prefix) || platform::IsDriveRoot(prefix)) continue;
        if (!platform::MakeDirectory(prefix) && !IsDirectory(prefix)) {
            error = FileExists(prefix) ? prefix + " is a file, not a directory"
                                       : "cannot create the directory " + prefix;
            return false;
        }
    }
    return true;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (name.empty()) return directory;
    if (platform::IsSeparator(directory.back())) return directory + name;
    return directory + platform::kSeparator + name;
}

std::string BaseName(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (platform::IsSeparator(path[i])) start = i + 1;
    }
    return path.substr(start);
}

bool ReadStandardInput(std::string& bytes, std::string& error) {
    platform::BinaryStandardInput();
    char buffer[65536];
    try {
        for (;;) {
            const size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
            bytes.append(buffer, got);
            if (got < sizeof buffer) break;
        }
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
    if (std::ferror(stdin)) {
        error = platform::LastErrorText();
        return false;
    }
    return true;
}

void RemoveFileQuietly(const std::string& path) { platform::RemoveFile(path); }

bool WriteStandardOutput(const std::string& bytes) {
    if (bytes.empty() || platform::WriteToConsole(stdout, bytes)) return true;
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

void WriteStandardError(const std::string& text) {
    if (!platform::WriteToConsole(stderr, text)) std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

bool FlushStandardOutput(std::string& error) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        error = platform::LastErrorText();
        return false;
    }
    return true;
}

unsigned CoreCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

}  // namespace torva
