// What `torva --help` and `torva COMMAND --help` print.
#pragma once

#include <string>

namespace torva {

extern const char kMainHelp[];

// The help of a command, or null for a command that does not exist.
const char* CommandHelp(const std::string& command);

}  // namespace torva
