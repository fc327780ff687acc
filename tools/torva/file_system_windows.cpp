// The file system on Windows: UTF-8 paths turned into UTF-16 for the
// wide-character API, so no name depends on the system code page.
#define _CRT_RAND_S  // rand_s, from the system's random source
#include <stdlib.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tools/torva/file_system.h"
#include "tools/torva/file_system_platform.h"
#include "tools/torva/wide_text.h"

namespace torva {
namespace platform {

const char kSeparator = '\\';
bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return _wfopen(Widen(path).c_str(), Widen(mode).c_str());
}

std::FILE* CreateNewFile(const std::string& path, bool& existed) {
    HANDLE handle = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        existed = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        errno = existed ? EEXIST : EACCES;
        return nullptr;
    }
    existed = false;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        DeleteFileW(Widen(path).c_str());
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "wb");
    if (file == nullptr) {
        _close(descriptor);
        DeleteFileW(Widen(path).c_str());
    }
    return file;
}

std::string TemporaryDirectory() {
    wchar_t directory[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, directory);
    if (length == 0 || length > MAX_PATH) return ".";
    return Narrow(std::wstring(directory, length));
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

uint64_t RandomNumber() {
    unsigned int low = 0, high = 0;
    if (rand_s(&low) != 0 || rand_s(&high) != 0) return 0;
    return uint64_t(high) << 32 | low;
}

namespace {

void (*g_cleanup)() = nullptr;

// Runs on a thread of its own; returning FALSE lets the default handler end
// the process.
BOOL WINAPI OnConsoleControl(DWORD) {
    if (g_cleanup != nullptr) g_cleanup();
    return FALSE;
}

}  // namespace

void InstallInterruptHandler(void (*cleanup)()) {
    g_cleanup = cleanup;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void SignalAndWaitForInterrupt(int descriptor) {
    const char byte = 'p';
    _write(descriptor, &byte, 1);
    for (;;) Sleep(INFINITE);
}

bool Seek(std::FILE* file, uint64_t position) {
    return position <= uint64_t(INT64_MAX) && _fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
}

uint64_t SizeOf(std::FILE* file) {
    const __int64 size = _filelengthi64(_fileno(file));
    return size < 0 ? 0 : static_cast<uint64_t>(size);
}

bool MoveNoReplace(const std::string& from, const std::string& to, bool& existed) {
    if (MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), 0) != 0) return true;
    const DWORD error = GetLastError();
    existed = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    return false;
}

bool MoveReplace(const std::string& from, const std::string& to) {
    return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void RemoveFile(const std::string& path) { DeleteFileW(Widen(path).c_str()); }

void RemoveFileFromHandler(const char* path) {
    wchar_t wide[4096];
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, 4096) > 0) DeleteFileW(wide);
}

bool MakeDirectory(const std::string& path) { return CreateDirectoryW(Widen(path).c_str(), nullptr) != 0; }

bool IsDriveRoot(const std::string& prefix) { return prefix.size() == 2 && prefix[1] == ':'; }

void BinaryStandardInput() { _setmode(_fileno(stdin), _O_BINARY); }

bool WriteToConsole(std::FILE* stream, const std::string& text) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return false;
    std::fflush(stream);
    const std::wstring wide = Widen(text);
    DWORD written = 0;
    return wide.empty() || WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr) != 0;
}

std::string LastErrorText() { return std::strerror(errno); }

}  // namespace platform

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries, std::string& error) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Widen(JoinPath(path, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        error = "cannot read the directory";
        return false;
    }
    do {
        const std::string name = Narrow(found.cFileName);
        if (name == "." || name == "..") continue;
        entries.push_back(DirectoryEntry{name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return true;
}

bool StatFile(const std::string& path, FileFacts& facts, std::string& error) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) {
        error = "cannot read its attributes (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    facts.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    facts.fileTime = uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool SetModificationTime(const std::string& path, uint64_t utcFileTime) {
    HANDLE file = CreateFileW(Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(utcFileTime);
    time.dwHighDateTime = static_cast<DWORD>(utcFileTime >> 32);
    const bool ok = SetFileTime(file, nullptr, nullptr, &time) != 0;
    CloseHandle(file);
    return ok;
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

// _isatty is true for NUL as well; only a console takes a console mode.
bool StandardOutputIsTerminal() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return output != INVALID_HANDLE_VALUE && output != nullptr && GetFileType(output) == FILE_TYPE_CHAR &&
           GetConsoleMode(output, &mode) != 0;
}

}  // namespace torva
