#include "tools/torva/damage.h"

#include <cstdint>

namespace torva {
namespace {

const char* Damage(torvasoft::Status status) {
    switch (status) {
    case torvasoft::Status::Truncated: return "the data ends early";
    case torvasoft::Status::Corrupt: return "the data is corrupt";
    case torvasoft::Status::OutsideFile: return "the header points past the end of the file";
    case torvasoft::Status::TooLarge: return "the declared size is too large to decode";
    default: return nullptr;
    }
}

}  // namespace

std::string PictureDamage(const torvasoft::Picture& picture) {
    const char* damage = Damage(picture.status);
    if (damage == nullptr) return std::string();
    const uint64_t pixels = uint64_t(picture.layout.width) * picture.layout.height;
    return std::string(damage) + " (" + std::to_string(picture.produced) + " of " + std::to_string(pixels) +
           " pixels decoded)";
}

std::string TableDamage(torvasoft::Status status, size_t membersRead) {
    const char* damage = Damage(status);
    if (damage == nullptr) return std::string();
    return std::string(damage) + " in the member table (" + std::to_string(membersRead) + " members read whole)";
}

}  // namespace torva
