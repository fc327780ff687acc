// The file system natively: POSIX calls on byte paths.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tools/torva/file_system.h"
#include "tools/torva/file_system_platform.h"

namespace torva {
namespace platform {

const char kSeparator = '/';
bool IsSeparator(char c) { return c == '/'; }

std::FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool Seek(std::FILE* file, uint64_t position) {
    return position <= uint64_t(INT64_MAX) && fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

uint64_t SizeOf(std::FILE* file) {
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || status.st_size < 0) return 0;
    return static_cast<uint64_t>(status.st_size);
}

bool MoveNoReplace(const std::string& from, const std::string& to, bool& existed) {
    // A hard link fails when the target exists, so no file is ever replaced.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return true;
    }
    existed = errno == EEXIST;
    if (existed || (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK)) return false;
    // A file system without hard links: look, then rename.
    struct stat status;
    existed = lstat(to.c_str(), &status) == 0;
    return !existed && std::rename(from.c_str(), to.c_str()) == 0;
}

bool MoveReplace(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

void RemoveFileFromHandler(const char* path) { unlink(path); }

bool MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool IsDriveRoot(const std::string&) { return false; }

void BinaryStandardInput() {}

bool WriteToConsole(std::FILE*, const std::string&) { return false; }

std::string LastErrorText() { return std::strerror(errno); }

}  // namespace platform

bool IsDirectory(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool FileExists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries, std::string& error) {
    DIR* directory = opendir(path.c_str());
    if (directory == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        entries.push_back(DirectoryEntry{name, IsDirectory(JoinPath(path, name))});
    }
    closedir(directory);
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return true;
}

bool SetModificationTime(const std::string& path, uint64_t utcFileTime) {
    // FILETIME counts 100 ns steps from 1601-01-01; 1970 is 11644473600 s on.
    const int64_t kUnixEpoch = 116444736000000000LL;
    const int64_t since = static_cast<int64_t>(utcFileTime) - kUnixEpoch;
    int64_t seconds = since / 10000000, rest = since % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --seconds;
    }
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(rest * 100);
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool WriteTemporaryFile(const std::string& bytes, std::string& path, std::string& error) {
    const char* directory = std::getenv("TMPDIR");
    std::string pattern = JoinPath(directory != nullptr && *directory != '\0' ? directory : "/tmp", "torva-XXXXXX");
    const int descriptor = mkstemp(&pattern[0]);
    if (descriptor < 0) {
        error = std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t step = write(descriptor, bytes.data() + written, bytes.size() - written);
        if (step <= 0) break;
        written += size_t(step);
    }
    const bool ok = written == bytes.size() && close(descriptor) == 0;
    if (!ok) {
        error = std::strerror(errno);
        unlink(pattern.c_str());
        return false;
    }
    path = pattern;
    return true;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

}  // namespace torva
