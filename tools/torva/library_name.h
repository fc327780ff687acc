// The name the library is given for a file: its last component only, in code
// page 932 as the games' own names are, whatever the file system's encoding.
// The name decides detection of ALD and VSP, and ALK members are named after
// it.
#pragma once

#include <string>

namespace torva {

std::string LibraryNameFor(const std::string& fileName);

}  // namespace torva
