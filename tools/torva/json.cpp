#include "tools/torva/json.h"

#include <cstdio>

namespace torva {
namespace {

// Length of the valid UTF-8 sequence at `i`, or 0.
size_t SequenceLength(const std::string& text, size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) return 1;
    size_t length = 0;
    uint32_t point = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2, point = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, point = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, point = c & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        point = point << 6 | (next & 0x3F);
    }
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = SequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out + "\"";
}

std::string JsonError(const std::string& file, const std::string& reason) {
    return "{\"file\": " + JsonString(file) + ", \"error\": true, \"reason\": " + JsonString(reason) + "}";
}

}  // namespace torva
