#include <windows.h>

#include <cerrno>
#include <cstring>

#include "tools/torva/authoring_files.h"
#include "tools/torva/file_system.h"

namespace torva {

bool StatFile(const std::string& path, FileFacts& facts, std::string& error) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        error = "cannot read its attributes (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    facts.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    facts.fileTime = uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool ListDirectory(const std::string& path, std::vector<std::string>& names, std::string& error) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(JoinPath(path, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        error = "cannot list it (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

// Through UTF-16: the system's ANSI code page to wide characters, then to
// code page 932 refusing any character that has no exact code there.
bool NameToCodePage932(const std::string& name, std::string& converted) {
    converted.clear();
    if (name.empty()) return true;
    const int wide = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), int(name.size()), nullptr, 0);
    if (wide <= 0) return false;
    std::wstring utf16(size_t(wide), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), int(name.size()), &utf16[0], wide);
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, utf16.data(), wide, nullptr, 0, nullptr, &lossy);
    if (bytes <= 0 || lossy) return false;
    converted.assign(size_t(bytes), '\0');
    WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, utf16.data(), wide, &converted[0], bytes, nullptr, &lossy);
    return !lossy;
}

bool StagedFile::commit(bool replace, std::string& error) {
    if (file_ == nullptr) return false;
    const bool written = !failed_ && std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed) {
        error = "cannot write " + target_;
        return false;
    }
    if (!MoveFileExA(temporary_.c_str(), target_.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
        const DWORD code = GetLastError();
        error = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS
                    ? target_ + " exists (use --overwrite to replace it)"
                    : "cannot name the finished file " + target_ + " (error " + std::to_string(code) + ")";
        return false;
    }
    temporary_.clear();
    return true;
}

}  // namespace torva
