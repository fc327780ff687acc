#include "plugin/file_name.h"

#include <cstring>
#include <memory>
#include <new>

#include "formats/archive_layout.h"

namespace {

// A copy of a name that ends in two terminators. A runtime that takes a lead
// byte and whatever follows it as one character would step over a single
// terminator after a name's last lead byte and read on past the name; with
// the second terminator there it stops. Every runtime search on a name runs
// on such a copy.
class TerminatedCopy {
public:
    explicit TerminatedCopy(const char* text) {
        const size_t length = std::strlen(text);
        char* target = inline_;
        // length + 2 cannot wrap: the name and its terminator are in memory.
        if (length + 2 > sizeof inline_) {
            heap_.reset(new (std::nothrow) char[length + 2]);
            target = heap_.get();
        }
        if (target == nullptr) return;
        std::memcpy(target, text, length);
        target[length] = '\0';
        target[length + 1] = '\0';
        text_ = reinterpret_cast<const unsigned char*>(target);
    }
    TerminatedCopy(const TerminatedCopy&) = delete;
    TerminatedCopy& operator=(const TerminatedCopy&) = delete;

    // The copy, or null when the heap refused memory for a long name.
    const unsigned char* text() const { return text_; }

private:
    char inline_[520];  // a Windows path of MAX_PATH bytes needs no heap
    std::unique_ptr<char[]> heap_;
    const unsigned char* text_ = nullptr;
};

// Offset of the part after the last backslash in a doubly terminated name.
size_t BaseNameOffset(const unsigned char* name) {
    const unsigned char* slash = _mbsrchr(name, '\\');
    return slash == nullptr ? 0 : static_cast<size_t>(slash + 1 - name);
}

}  // namespace

// A name that cannot be copied is treated as having no base name and no
// extension: it then matches no extension, which is how a file whose name
// cannot be examined is best answered.
const char* BaseNameOf(const char* path) {
    TerminatedCopy copy(path);
    if (copy.text() == nullptr) return path + std::strlen(path);
    return path + BaseNameOffset(copy.text());
}

const char* ExtensionOf(const char* baseName) {
    TerminatedCopy copy(baseName);
    if (copy.text() == nullptr) return nullptr;
    const unsigned char* dot = _mbsrchr(copy.text(), '.');
    return dot == nullptr ? nullptr : baseName + (dot - copy.text());
}

bool HasExtension(const FileAccess* file, const char* extension) {
    TerminatedCopy copy(FileNameOf(file));
    if (copy.text() == nullptr) return false;
    const unsigned char* dot = _mbsrchr(copy.text() + BaseNameOffset(copy.text()), '.');
    if (dot == nullptr) return false;
    return _mbsicmp(dot, reinterpret_cast<const unsigned char*>(extension)) == 0;
}

void FormBaseName(const FileAccess* file, char* baseName) {
    const char* afterSlash = BaseNameOf(FileNameOf(file));
    _mbsnbcpy(reinterpret_cast<unsigned char*>(baseName), reinterpret_cast<const unsigned char*>(afterSlash),
              torva::archive::kBaseNameBytes - 1);
    baseName[torva::archive::kBaseNameBytes - 1] = '\0';
    const char* dot = ExtensionOf(baseName);
    if (dot != nullptr) baseName[dot - baseName] = '\0';
}
