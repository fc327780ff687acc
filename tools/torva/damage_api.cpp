// Damage told by the library's public API: its decoders say whether a
// picture's stream or an archive's table was read whole. The pixels the tool
// writes still come from the plug-in, as a viewer gets them.
#include <cstring>
#include <new>

#include "tools/torva/damage.h"
#include "torvasoft/torvasoft.hpp"

namespace torva {
namespace {

// What a status means for a file the plug-in took. Running out of memory
// while checking says nothing about the file, and a file the library does
// not recognise here was recognised by the plug-in: neither is damage.
const char* Damage(torvasoft::Status status) {
    switch (status) {
    case torvasoft::Status::Truncated: return "the data ends early";
    case torvasoft::Status::Corrupt: return "the data is corrupt";
    case torvasoft::Status::OutsideFile: return "the header points past the end of the file";
    case torvasoft::Status::TooLarge: return "the declared size is too large to decode";
    default: return nullptr;
    }
}

size_t ReadFromInput(void* context, uint64_t offset, void* buffer, size_t count) {
    InputFile& input = *static_cast<InputFile*>(context);
    if (offset >= input.size()) return 0;
    const uint64_t available = input.size() - offset;
    if (count > available) count = static_cast<size_t>(available);
    std::string bytes;
    if (!input.read(offset, count, bytes)) return 0;
    std::memcpy(buffer, bytes.data(), bytes.size());
    return bytes.size();
}

class ApiDamageCheck final : public DamageCheck {
public:
    std::string picture(const std::string& bytes, const std::string& recordName, bool fullColour) override {
        const torvasoft::Picture picture =
            torvasoft::Decode(bytes.data(), bytes.size(), recordName.c_str(),
                              fullColour ? TORVASOFT_AS_STORED_FULL : TORVASOFT_AS_STORED);
        const char* damage = Damage(picture.status);
        if (damage == nullptr) return std::string();
        const uint64_t pixels = uint64_t(picture.layout.width) * picture.layout.height;
        return std::string(damage) + " (" + std::to_string(picture.produced) + " of " +
               std::to_string(pixels) + " pixels decoded)";
    }

    std::string archive(InputFile& input, const std::string& recordName) override {
        const torvasoft::Listing listing = torvasoft::List(recordName.c_str(), ReadFromInput, &input);
        const char* damage = Damage(listing.status);
        if (damage == nullptr) return std::string();
        return std::string(damage) + " in the member table (" + std::to_string(listing.members.size()) +
               " members read whole)";
    }
};

}  // namespace

std::unique_ptr<DamageCheck> OpenDamageCheck() { return std::unique_ptr<DamageCheck>(new (std::nothrow) ApiDamageCheck); }

}  // namespace torva
