#include <windows.h>

#include <cerrno>
#include <cstring>

#include "tools/torva/authoring_files.h"
#include "tools/torva/file_system.h"

namespace torva {
namespace {

std::wstring Widen(const std::string& utf8) {
    const int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(count > 0 ? count : 0), L'\0');
    if (count > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], count);
    return wide;
}

std::string Narrow(const wchar_t* wide) {
    const int count = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(count > 0 ? count : 1), '\0');
    if (count > 0) WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], count, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

}  // namespace

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

bool ListDirectory(const std::string& path, std::vector<std::string>& names, std::string& error) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Widen(JoinPath(path, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        error = "cannot list it (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    do {
        const std::string name = Narrow(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

// The tool's paths are UTF-8: through UTF-16 to code page 932, refusing any
// character that has no exact code there.
bool NameToCodePage932(const std::string& name, std::string& converted) {
    converted.clear();
    if (name.empty()) return true;
    const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), int(name.size()), nullptr, 0);
    if (wide <= 0) return false;
    std::wstring utf16(size_t(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), int(name.size()), &utf16[0], wide);
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, utf16.data(), wide, nullptr, 0, nullptr, &lossy);
    if (bytes <= 0 || lossy) return false;
    converted.assign(size_t(bytes), '\0');
    WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, utf16.data(), wide, &converted[0], bytes, nullptr, &lossy);
    return !lossy;
}

}  // namespace torva
