// The file system natively: POSIX calls on byte paths.
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "tools/torva/file_system.h"
#include "tools/torva/file_system_platform.h"

namespace torva {
namespace platform {

const char kSeparator = '/';
bool IsSeparator(char c) { return c == '/'; }

std::FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::FILE* CreateNewFile(const std::string& path, bool& existed) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    existed = descriptor < 0 && errno == EEXIST;
    if (descriptor < 0) return nullptr;
    std::FILE* file = fdopen(descriptor, "wb");
    if (file == nullptr) {
        const int why = errno;
        ::close(descriptor);
        unlink(path.c_str());
        errno = why;
    }
    return file;
}

std::string TemporaryDirectory() {
    const char* directory = std::getenv("TMPDIR");
    return directory != nullptr && *directory != '\0' ? directory : "/tmp";
}

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

uint64_t RandomNumber() {
    uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) return 0;
    return bits;
}

namespace {

void (*g_cleanup)() = nullptr;

extern "C" void OnInterrupt(int signal) {
    if (g_cleanup != nullptr) g_cleanup();
    // The default action, so the parent sees the process ended by the signal.
    std::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace

void InstallInterruptHandler(void (*cleanup)()) {
    g_cleanup = cleanup;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Either signal while the other is being handled waits for it.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void SignalAndWaitForInterrupt(int descriptor) {
    const char byte = 'p';
    while (::write(descriptor, &byte, 1) < 0 && errno == EINTR) {
    }
    for (;;) pause();
}

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

bool StatFile(const std::string& path, FileFacts& facts, std::string& error) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        error = std::strerror(errno);
        return false;
    }
    facts.directory = S_ISDIR(status.st_mode);
    facts.size = static_cast<uint64_t>(status.st_size);
    // 1970-01-01 is 11644473600 s after 1601-01-01.
    const int64_t seconds = static_cast<int64_t>(status.st_mtim.tv_sec) + 11644473600LL;
    facts.fileTime = seconds < 0 ? 0 : uint64_t(seconds) * 10000000u + uint64_t(status.st_mtim.tv_nsec) / 100u;
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

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

}  // namespace torva
