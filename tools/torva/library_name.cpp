#include "tools/torva/library_name.h"

#include "tools/torva/code_page.h"
#include "tools/torva/file_system.h"

namespace torva {

std::string LibraryNameFor(const std::string& fileName) {
    const std::string name = EncodeCp932(BaseName(fileName));
    // The library takes the part after the last '\' as the name, byte by
    // byte: a double-byte character whose trail byte is '\' would cut the
    // name there, so it becomes '_' (as it does under the viewer whatever
    // its code page).
    std::string result;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (IsCp932Lead(c) && i + 1 < name.size()) {
            if (name[i + 1] == '\\') {
                result += '_';
            } else {
                result.append(name, i, 2);
            }
            ++i;
        } else {
            result += char(c);
        }
    }
    return result;
}

}  // namespace torva
