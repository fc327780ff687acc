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
// Creates `path` for writing, failing (with `existed` set when that is why)
// when anything is there already: O_CREAT | O_EXCL, or CREATE_NEW.
std::FILE* CreateNewFile(const std::string& path, bool& existed);
// The system's directory for temporary files.
std::string TemporaryDirectory();
unsigned long ProcessId();
// Bits from the system's random source (0 when there is none).
uint64_t RandomNumber();
// Calls `cleanup` on an interrupt (SIGINT, SIGTERM; a console's Ctrl+C,
// Ctrl+Break or close), then ends the process as the interrupt would have.
// `cleanup` must be safe in a signal handler.
void InstallInterruptHandler(void (*cleanup)());
// For the tests' pause points: writes one byte to `descriptor`, then waits
// for the interrupt that ends the process.
void SignalAndWaitForInterrupt(int descriptor);
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
