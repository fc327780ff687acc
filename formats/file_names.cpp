#include "formats/file_names.h"

#include <cstring>

namespace torva {
namespace {

const char* LastComponent(const char* name) {
    const char* start = name;
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') start = p + 1;
    }
    return start;
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `text` is `lowerExtension` apart from ASCII case.
bool SameExtension(const char* text, const char* lowerExtension) {
    for (; *text != '\0' && *lowerExtension != '\0'; ++text, ++lowerExtension) {
        if (FoldAscii(*text) != *lowerExtension) return false;
    }
    return *text == '\0' && *lowerExtension == '\0';
}

}  // namespace

Extension ExtensionOfName(const char* name) {
    if (name == nullptr) return Extension::Other;
    const char* dot = std::strrchr(LastComponent(name), '.');
    if (dot == nullptr) return Extension::Other;
    if (SameExtension(dot, ".ald")) return Extension::Ald;
    if (SameExtension(dot, ".vsp")) return Extension::Vsp;
    return Extension::Other;
}

void StemOfName(const char* name, char* stem) {
    std::memset(stem, 0, archive::kBaseNameBytes);
    if (name == nullptr) return;
    const char* component = LastComponent(name);
    const size_t length = strnlen(component, archive::kBaseNameBytes - 1);
    std::memcpy(stem, component, length);
    char* dot = std::strrchr(stem, '.');
    if (dot != nullptr) *dot = '\0';
}

}  // namespace torva
