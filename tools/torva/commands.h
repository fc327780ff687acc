// The commands of the torva tool. Each returns the process's exit status:
// 0 when everything went well, 1 when some file failed, 2 for a usage error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace torva {

enum ExitStatus { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

// Runs the tool on its arguments (without the program name).
int RunTool(const std::vector<std::string>& arguments);

// "YYYY-MM-DD HH:MM:SS" for a FILETIME value, or "-" for zero.
std::string FormatFileTime(uint32_t low, uint32_t high);

}  // namespace torva
