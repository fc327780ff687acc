#include "tools/torva/member_names.h"

#include <cctype>
#include <cstring>

namespace torva {
namespace {

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsTrail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

bool IsRefused(unsigned char c) {
    return c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
}

std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return text;
}

bool IsDeviceName(const std::string& name) {
    std::string stem = AsciiUpper(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* device : kDevices) {
        if (stem == device) return true;
    }
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '0' && stem[3] <= '9';
}

// Position of the last '.' that is a character of its own, or npos.
size_t LastDot(const std::string& name) {
    size_t dot = std::string::npos;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (IsLead(c) && i + 1 < name.size() && IsTrail(static_cast<unsigned char>(name[i + 1]))) {
            ++i;
        } else if (c == '.') {
            dot = i;
        }
    }
    return dot;
}

}  // namespace

std::string SafeMemberName(const std::string& name) {
    std::string safe;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (IsLead(c) && i + 1 < name.size() && IsTrail(static_cast<unsigned char>(name[i + 1]))) {
            safe += name[i];
            safe += name[++i];
        } else {
            safe += IsRefused(c) ? '_' : char(c);
        }
    }
    if (safe.empty() || safe == "." || safe == "..") safe = "_" + safe;
    if (safe.back() == '.' || safe.back() == ' ') safe += '_';
    if (IsDeviceName(safe)) safe = "_" + safe;
    return safe;
}

std::string ReplaceExtension(const std::string& name, const std::string& extension) {
    const size_t dot = LastDot(name);
    if (dot == std::string::npos || dot == 0) return name + extension;
    return name.substr(0, dot) + extension;
}

std::string NameRegistry::claim(const std::string& name) {
    std::string candidate = name;
    const size_t dot = LastDot(name);
    const bool hasExtension = dot != std::string::npos && dot != 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    for (int n = 2; !taken_.insert(AsciiUpper(candidate)).second; ++n) {
        candidate = stem + "~" + std::to_string(n) + extension;
    }
    return candidate;
}

}  // namespace torva
