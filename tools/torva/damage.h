// Damage the plug-in's entry points cannot tell: a picture whose stream is
// cut or corrupt still gives a whole bitmap, and an archive whose table is
// cut still lists the members read before the cut. The library's public API
// says what its decoders found.
#pragma once

#include <memory>
#include <string>

#include "tools/torva/file_system.h"

namespace torva {

class DamageCheck {
public:
    virtual ~DamageCheck() = default;
    // What was found in a picture file held whole in `bytes`, or an empty
    // string when it decodes whole. `fullColour` as the bitmap is asked for.
    virtual std::string picture(const std::string& bytes, const std::string& recordName, bool fullColour) = 0;
    // What was found in an archive's table, or an empty string when it is
    // whole.
    virtual std::string archive(InputFile& input, const std::string& recordName) = 0;
};

// The check, or null where the build has no library API to ask.
std::unique_ptr<DamageCheck> OpenDamageCheck();

}  // namespace torva
