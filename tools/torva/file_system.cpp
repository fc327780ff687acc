#include "tools/torva/file_system.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace torva {
namespace {

#ifdef _WIN32
const char kSeparator = '\\';
bool IsSeparator(char c) { return c == '/' || c == '\\'; }
#else
const char kSeparator = '/';
bool IsSeparator(char c) { return c == '/'; }
#endif

// The temporary file being written, for the interrupt handler. Only its
// bytes are read there, so a fixed buffer is used.
char g_pendingTemporary[4096];
volatile std::sig_atomic_t g_pendingSet = 0;

extern "C" void OnInterrupt(int signal) {
    if (g_pendingSet) std::remove(g_pendingTemporary);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool Seek(std::FILE* file, uint64_t position) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

bool ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

InputFile::~InputFile() {
    if (file_ != nullptr) std::fclose(file_);
}

bool InputFile::open(const std::string& path, std::string& error) {
    if (IsDirectory(path)) {
        error = "is a directory";
        return false;
    }
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    std::fseek(file_, 0, SEEK_END);
#ifdef _WIN32
    const __int64 end = _ftelli64(file_);
#else
    const off_t end = ftello(file_);
#endif
    size_ = end < 0 ? 0 : static_cast<uint64_t>(end);
    return true;
}

bool InputFile::read(uint64_t position, size_t count, std::string& bytes) {
    bytes.assign(count, '\0');
    if (count == 0) return position <= size_;
    if (position > size_ || count > size_ - position || !Seek(file_, position)) return false;
    return std::fread(&bytes[0], 1, count, file_) == count;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string name = BaseName(path);
    const std::string directory = path.substr(0, path.size() - name.size());
    const std::string temporary = directory + "." + name + ".torva-partial";
    if (temporary.size() < sizeof g_pendingTemporary) {
        std::memcpy(g_pendingTemporary, temporary.c_str(), temporary.size() + 1);
        g_pendingSet = 1;
    }
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        error = std::string("cannot write ") + path + ": " + std::strerror(errno);
        g_pendingSet = 0;
        return false;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
    const int savedErrno = errno;
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        error = std::string("cannot write ") + path + ": " + std::strerror(savedErrno);
    } else if (!ReplaceFile(temporary, path)) {
        error = std::string("cannot rename the finished file to ") + path;
        ok = false;
    }
    if (!ok) std::remove(temporary.c_str());
    g_pendingSet = 0;
    return ok;
}

bool IsDirectory(const std::string& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
#endif
}

bool FileExists(const std::string& path) {
#ifdef _WIN32
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat status;
    return stat(path.c_str(), &status) == 0;
#endif
}

bool MakeDirectories(const std::string& path, std::string& error) {
    if (path.empty() || IsDirectory(path)) return true;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && !IsSeparator(path[i])) continue;
        const std::string prefix = path.substr(0, i);
        if (IsDirectory(prefix)) continue;
#ifdef _WIN32
        if (prefix.size() == 2 && prefix[1] == ':') continue;  // a drive
        const bool made = CreateDirectoryA(prefix.c_str(), nullptr) != 0;
#else
        const bool made = mkdir(prefix.c_str(), 0777) == 0;
#endif
        if (!made && !IsDirectory(prefix)) {
            error = "cannot create the directory " + prefix;
            return false;
        }
    }
    return true;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (IsSeparator(directory.back())) return directory + name;
    return directory + kSeparator + name;
}

std::string BaseName(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
#ifdef _WIN32
        // A double-byte character's trail byte may be '\'; skip over it.
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
            ++i;
            continue;
        }
#endif
        if (IsSeparator(path[i])) start = i + 1;
    }
    return path.substr(start);
}

bool StandardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

void InstallInterruptCleanup() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

}  // namespace torva
