// What the library's statuses say about a file it recognised: a picture
// whose stream is cut or corrupt still decodes to whole rows (zeros where
// nothing was decoded), and a cut member table still lists the members read
// before the cut. Running out of memory says nothing about the file, so it
// is no damage.
#pragma once

#include <cstddef>
#include <string>

#include "torvasoft/torvasoft.hpp"

namespace torva {

// The damage of a decoded picture, or an empty string when it decoded whole
// (or the decode failed for some other reason than the file).
std::string PictureDamage(const torvasoft::Picture& picture);

// The damage of an archive's table, of which `membersRead` members were read
// whole, or an empty string.
std::string TableDamage(torvasoft::Status status, size_t membersRead);

}  // namespace torva
