// File handles of the stand-in: POSIX descriptors behind Windows-style calls.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

#include "platform/standin/windows_standin.h"

namespace {

// A handle is the descriptor plus one, so that no valid handle is null or
// INVALID_HANDLE_VALUE.
int DescriptorOf(HANDLE file) {
    intptr_t value = reinterpret_cast<intptr_t>(file);
    if (value <= 0) return -1;
    return static_cast<int>(value - 1);
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD /*share*/, LPSECURITY_ATTRIBUTES /*security*/,
                   DWORD disposition, DWORD /*flags*/, HANDLE /*templateFile*/) {
    if (name == nullptr || disposition != OPEN_EXISTING || (access & GENERIC_READ) == 0) {
        return INVALID_HANDLE_VALUE;
    }
    int descriptor = open(name, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return INVALID_HANDLE_VALUE;
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(descriptor) + 1);
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
    int descriptor = DescriptorOf(file);
    if (descriptor < 0) return INVALID_SET_FILE_POINTER;
    int64_t offset = distance;
    if (distanceHigh != nullptr) {
        offset = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                      static_cast<uint32_t>(distance));
    }
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    off_t result = lseek(descriptor, static_cast<off_t>(offset), whence);
    if (result < 0) return INVALID_SET_FILE_POINTER;
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(result) >> 32);
    return static_cast<DWORD>(static_cast<uint64_t>(result));
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD bytesRead, LPOVERLAPPED /*overlapped*/) {
    if (bytesRead != nullptr) *bytesRead = 0;
    int descriptor = DescriptorOf(file);
    if (descriptor < 0) return FALSE;
    auto* target = static_cast<unsigned char*>(buffer);
    DWORD total = 0;
    while (total < bytes) {
        ssize_t got = read(descriptor, target + total, bytes - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            if (bytesRead != nullptr) *bytesRead = total;
            return FALSE;
        }
        if (got == 0) break;  // end of file: a successful short read
        total += static_cast<DWORD>(got);
    }
    if (bytesRead != nullptr) *bytesRead = total;
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    int descriptor = DescriptorOf(object);
    if (descriptor < 0) return FALSE;
    return close(descriptor) == 0 ? TRUE : FALSE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, LPFILETIME local) {
    if (utc == nullptr || local == nullptr) return FALSE;
    // The bias of the zone as it stands now, applied to any instant.
    time_t now = time(nullptr);
    struct tm parts;
    if (localtime_r(&now, &parts) == nullptr) return FALSE;
    const int64_t ticksPerSecond = 10000000;
    int64_t bias = static_cast<int64_t>(parts.tm_gmtoff) * ticksPerSecond;
    uint64_t value = (static_cast<uint64_t>(utc->dwHighDateTime) << 32) | utc->dwLowDateTime;
    int64_t shifted = static_cast<int64_t>(value) + bias;
    if (static_cast<int64_t>(value) < 0 || shifted < 0) return FALSE;
    local->dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(shifted));
    local->dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(shifted) >> 32);
    return TRUE;
}
