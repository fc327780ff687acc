// Code page 932 in torva.exe, through the Windows code-page API, which
// knows code page 932 whatever the system's own code page is.
#include <windows.h>

#include "tools/torva/code_page.h"
#include "tools/torva/wide_text.h"

namespace torva {

bool DecodeCp932Pair(unsigned char lead, unsigned char trail, std::string& utf8) {
    const char pair[2] = {char(lead), char(trail)};
    wchar_t wide[4];
    const int length = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, pair, 2, wide, 4);
    if (length <= 0) return false;
    utf8 = Narrow(std::wstring(wide, size_t(length)));
    return !utf8.empty();
}

std::string EncodeCp932(const std::string& utf8) {
    const std::wstring wide = Widen(utf8);
    std::string out;
    for (size_t i = 0; i < wide.size(); ++i) {
        // A surrogate pair is one character, which code page 932 lacks.
        if (wide[i] >= 0xD800 && wide[i] <= 0xDFFF) {
            if (wide[i] <= 0xDBFF && i + 1 < wide.size()) ++i;
            out += '_';
            continue;
        }
        char bytes[4];
        BOOL lossy = FALSE;
        const int length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &wide[i], 1, bytes, sizeof bytes, nullptr,
                                               &lossy);
        if (length <= 0 || lossy) {
            out += '_';
        } else {
            out.append(bytes, size_t(length));
        }
    }
    return out;
}

bool NameToCodePage932(const std::string& name, std::string& converted) {
    converted.clear();
    if (name.empty()) return true;
    const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), int(name.size()), nullptr, 0);
    if (wide <= 0) return false;
    std::wstring utf16(size_t(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), int(name.size()), &utf16[0], wide);
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, utf16.data(), wide, nullptr, 0, nullptr, &lossy);
    if (bytes <= 0 || lossy) return false;
    converted.assign(size_t(bytes), '\0');
    WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, utf16.data(), wide, &converted[0], bytes, nullptr, &lossy);
    return !lossy;
}

}  // namespace torva
