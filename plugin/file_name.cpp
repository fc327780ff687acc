#include "plugin/file_name.h"

const char* BaseNameOf(const char* path) {
    auto* text = reinterpret_cast<const unsigned char*>(path);
    const unsigned char* slash = _mbsrchr(text, '\\');
    return reinterpret_cast<const char*>(slash == nullptr ? text : slash + 1);
}

const char* ExtensionOf(const char* baseName) {
    const unsigned char* dot = _mbsrchr(reinterpret_cast<const unsigned char*>(baseName), '.');
    return reinterpret_cast<const char*>(dot);
}

bool HasExtension(const FileAccess* file, const char* extension) {
    const char* found = ExtensionOf(BaseNameOf(FileNameOf(file)));
    if (found == nullptr) return false;
    return _mbsicmp(reinterpret_cast<const unsigned char*>(found),
                    reinterpret_cast<const unsigned char*>(extension)) == 0;
}
