// The torva tool. Each command returns the process's exit status: 0 when
// everything went well, 1 when some file failed, 2 for a usage error.
#pragma once

#include <string>
#include <vector>

namespace torva {

enum ExitStatus { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

// Runs the tool on its arguments (without the program name), UTF-8.
int RunTool(const std::vector<std::string>& arguments);

}  // namespace torva
