// Member names: the bytes an archive stores (code page 932 in practice)
// turned into UTF-8 to show, match and write, and into names that are safe
// to create in an output directory.
#pragma once

#include <set>
#include <string>

namespace torva {

enum class NameMode {
    Cp932,  // decoded from code page 932; bytes that do not decode become %XX
    Raw,    // every byte outside printable ASCII, and '%' itself, as %XX
};

// The name as UTF-8 text. Control bytes are always escaped, so the result
// holds no byte below 0x20 nor 0x7F.
std::string DecodeMemberName(const std::string& raw, NameMode mode);

// The stored bytes as lower-case hexadecimal.
std::string HexBytes(const std::string& raw);

// A decoded name made usable as a file name in the output directory, the
// same on every system: path separators and the characters Windows refuses
// become '_'; a name that is empty, "." or "..", or a Windows device name,
// gets a '_' before it; one ending in a dot or space gets a '_' after it; one
// longer than kLongestFileName bytes is cut (at a character, keeping its
// extension). `why` says what was changed, or is left empty.
const size_t kLongestFileName = 200;
std::string FileNameFor(const std::string& name, std::string& why);

// `name` with its extension (from its last '.') replaced by `extension`
// (which includes its dot).
std::string ReplaceExtension(const std::string& name, const std::string& extension);
// `name` without its extension.
std::string StemOf(const std::string& name);

// Hands out output paths, adding "~2", "~3"... before the extension when a
// path was already handed out (compared without regard to ASCII case, since
// Windows file names are case-insensitive).
class NameRegistry {
public:
    // The name to use for `name` in `directory` (a path relative to the
    // output, '/' separated; empty for the output itself).
    std::string claim(const std::string& directory, const std::string& name);

private:
    std::set<std::string> taken_;
};

}  // namespace torva
