// Turning names that come from inside an archive into names that are safe
// to create in an output directory.
#pragma once

#include <set>
#include <string>

namespace torva {

// Member names in these archives are Shift-JIS: 0x81-0x9F and 0xE0-0xFC
// lead a double-byte character whose trail byte lies in 0x40-0xFC (0x7F
// excepted). Such pairs are kept as they are, even when the trail byte is
// '\'. Every other '/' or '\' becomes '_', so no name reaches outside the
// output directory; so do control bytes and the characters that Windows
// refuses in file names. A name that would be empty, "." or "..", that ends
// in a dot or space, or that is a Windows device name gets a '_' so that
// both builds create the very same name.
std::string SafeMemberName(const std::string& name);

// `name` with its extension (from its last '.', double-byte aware) replaced
// by `extension` (which includes its dot).
std::string ReplaceExtension(const std::string& name, const std::string& extension);

// Hands out output names, adding "~2", "~3"... before the extension when a
// name was already handed out (compared without regard to ASCII case, since
// Windows file names are case-insensitive).
class NameRegistry {
public:
    std::string claim(const std::string& name);

private:
    std::set<std::string> taken_;
};

}  // namespace torva
