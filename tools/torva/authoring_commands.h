// The commands that write the game's formats: `encode` (pictures to QNT,
// PMS or VSP) and `pack` (files to an ALD or ALK archive). Each takes the
// arguments after its name and returns the exit status.
#pragma once

#include <string>
#include <vector>

namespace torva {

int RunEncode(const std::vector<std::string>& arguments);
int RunPack(const std::vector<std::string>& arguments);

}  // namespace torva
