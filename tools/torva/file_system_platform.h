// The primitives under file_system.cpp, one implementation per platform
// (file_system_posix.cpp, file_system_windows.cpp). Paths are UTF-8.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace torva {
namespace platform {

extern const char kSeparator;
bool IsSeparator(char c);

std::FILE* OpenFile(const std::string& path, const char* mode);
bool Seek(std::FILE* file, uint64_t position);
uint64_t SizeOf(std::FILE* file);
// Moves `from` to `to`; fails with `existed` set when `to` is there already.
bool MoveNoReplace(const std::string& from, const std::string& to, bool& existed);
bool MoveReplace(const std::string& from, const std::string& to);
void RemoveFile(const std::string& path);
// Safe to call from a signal handler: allocates nothing.
void RemoveFileFromHandler(const char* path);
bool MakeDirectory(const std::string& path);
// True for a prefix such as "C:" that is no directory to create.
bool IsDriveRoot(const std::string& prefix);
// Standard input without line-end translation.
void BinaryStandardInput();
// Writes UTF-8 text to `stream` when it is a console that takes text in
// another form; false when it is not (the caller writes the bytes).
bool WriteToConsole(std::FILE* stream, const std::string& text);
// The text of the last system error (errno or GetLastError).
std::string LastErrorText();

}  // namespace platform
}  // namespace torva
