// torva mount: an archive shown as a read-only folder through FUSE, natively;
// elsewhere the command says it is not available.
#pragma once

#include <string>
#include <vector>

namespace torva {

extern const char kMountHelp[];

// Runs `torva mount` on its arguments (without the command's name).
int RunMount(const std::vector<std::string>& arguments);

}  // namespace torva
