#include "tools/torva/member_names.h"

#include <cstring>

#include "tools/torva/code_page.h"

namespace torva {
namespace {

void AppendEscaped(std::string& out, unsigned char c) {
    static const char kDigits[] = "0123456789ABCDEF";
    out += '%';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
}

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

bool IsRefused(char c) { return std::strchr("/\\:*?\"<>|", c) != nullptr; }

std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return text;
}

bool IsDeviceName(const std::string& name) {
    std::string stem = AsciiUpper(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
        if (stem == device) return true;
    }
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '0' && stem[3] <= '9';
}

// Where the extension starts, or npos when there is none (a leading dot
// starts no extension).
size_t ExtensionStart(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string::npos : dot;
}

// The longest prefix of `text` of at most `bytes` bytes that ends at a UTF-8
// character's end.
std::string CutAtCharacter(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

}  // namespace

std::string DecodeMemberName(const std::string& raw, NameMode mode) {
    std::string out, character;
    for (size_t i = 0; i < raw.size(); ++i) {
        const auto c = static_cast<unsigned char>(raw[i]);
        if (c >= 0x20 && c < 0x7F && !(mode == NameMode::Raw && c == '%')) {
            out += char(c);
        } else if (mode == NameMode::Raw || c < 0x80) {
            AppendEscaped(out, c);
        } else if (c >= 0xA1 && c <= 0xDF) {
            AppendUtf8(out, 0xFF61 + (c - 0xA1));  // half-width katakana
        } else if (IsCp932Lead(c) && i + 1 < raw.size() && IsCp932Trail(static_cast<unsigned char>(raw[i + 1])) &&
                   DecodeCp932Pair(c, static_cast<unsigned char>(raw[i + 1]), character)) {
            out += character;
            ++i;
        } else {
            AppendEscaped(out, c);
        }
    }
    return out;
}

std::string HexBytes(const std::string& raw) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (char byte : raw) {
        const auto c = static_cast<unsigned char>(byte);
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

std::string FileNameFor(const std::string& name, std::string& why) {
    why.clear();
    std::string safe;
    for (char c : name) {
        if (IsRefused(c) || static_cast<unsigned char>(c) < 0x20) {
            safe += '_';
            why = "has characters a file name cannot have";
        } else {
            safe += c;
        }
    }
    if (safe.size() > kLongestFileName) {
        const size_t dot = ExtensionStart(safe);
        const std::string extension = dot == std::string::npos || safe.size() - dot > 16 ? "" : safe.substr(dot);
        safe = CutAtCharacter(safe.substr(0, safe.size() - extension.size()), kLongestFileName - extension.size()) +
               extension;
        why = "is too long";
    }
    if (safe.empty() || safe == "." || safe == "..") {
        safe = "_" + safe;
        why = "is no file name";
    }
    if (safe.back() == '.' || safe.back() == ' ') {
        safe += '_';
        why = "ends in a dot or space";
    }
    if (IsDeviceName(safe)) {
        safe = "_" + safe;
        why = "is reserved on Windows";
    }
    return safe;
}

std::string ReplaceExtension(const std::string& name, const std::string& extension) {
    return StemOf(name) + extension;
}

std::string StemOf(const std::string& name) {
    const size_t dot = ExtensionStart(name);
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string NameRegistry::claim(const std::string& directory, const std::string& name) {
    const std::string prefix = directory.empty() ? std::string() : directory + "/";
    const size_t dot = ExtensionStart(name);
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    std::string candidate = name;
    for (int n = 2; !taken_.insert(AsciiUpper(prefix + candidate)).second; ++n) {
        candidate = stem + "~" + std::to_string(n) + extension;
    }
    return candidate;
}

}  // namespace torva
