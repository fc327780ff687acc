#include "tools/torva/glob.h"

#include <cstdint>
#include <vector>

namespace torva {
namespace {

// The UTF-8 text as code points, ASCII letters folded to lower case. Bytes
// that are no valid sequence stand for themselves.
std::vector<uint32_t> CodePoints(const std::string& text) {
    std::vector<uint32_t> points;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
        uint32_t point = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                length = 1;
                point = c;
                break;
            }
            point = point << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (point >= 'A' && point <= 'Z') point += 'a' - 'A';
        points.push_back(point);
        i += length;
    }
    return points;
}

// Matches the set that starts after '[' at `p`; moves `p` past its ']'.
// False with `p` unchanged when the '[' opens no set (it is then literal).
bool MatchSet(const std::vector<uint32_t>& pattern, size_t& p, uint32_t c, bool& matched) {
    size_t i = p;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negated) ++i;
    bool found = false;
    for (bool first = true; i < pattern.size() && (first || pattern[i] != ']'); first = false) {
        uint32_t low = pattern[i], high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            high = pattern[i + 2];
            i += 3;
        } else {
            ++i;
        }
        if (c >= low && c <= high) found = true;
    }
    if (i >= pattern.size()) return false;
    p = i + 1;
    matched = found != negated;
    return true;
}

}  // namespace

bool MatchesPattern(const std::string& patternText, const std::string& nameText) {
    const std::vector<uint32_t> pattern = CodePoints(patternText);
    const std::vector<uint32_t> name = CodePoints(nameText);
    // Iterative matching with one point to return to after the last '*'.
    size_t p = 0, n = 0, starP = SIZE_MAX, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
            continue;
        }
        bool advanced = false;
        if (p < pattern.size()) {
            size_t next = p + 1;
            bool matched = false;
            if (pattern[p] == '?') {
                matched = true;
            } else if (pattern[p] == '[' && MatchSet(pattern, next, name[n], matched)) {
                // next is past the set
            } else {
                next = p + 1;
                matched = pattern[p] == name[n];
            }
            if (matched) {
                p = next;
                ++n;
                advanced = true;
            }
        }
        if (!advanced) {
            if (starP == SIZE_MAX) return false;
            p = starP;
            n = ++starN;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool IsPattern(const std::string& text) { return text.find_first_of("*?[") != std::string::npos; }

}  // namespace torva
