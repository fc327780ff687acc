// Code page 932 natively, through glibc's iconv.
#include <iconv.h>

#include "tools/torva/code_page.h"

namespace torva {
namespace {

// One conversion descriptor per thread and direction, opened on first use.
class Converter {
public:
    Converter(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}
    ~Converter() {
        if (usable()) iconv_close(descriptor_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of `in`; false when any of it does not convert.
    bool convert(const std::string& in, std::string& out) {
        if (!usable()) return false;
        iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
        std::string source = in;
        char buffer[64];
        char* from = &source[0];
        size_t fromLeft = source.size();
        out.clear();
        while (fromLeft > 0) {
            char* to = buffer;
            size_t toLeft = sizeof buffer;
            const size_t result = iconv(descriptor_, &from, &fromLeft, &to, &toLeft);
            out.append(buffer, to);
            if (result == static_cast<size_t>(-1) && to == buffer) return false;
        }
        return true;
    }

private:
    bool usable() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t descriptor_;
};

// All of `from` converted by a descriptor of its own, or false when some byte
// sequence has no match.
bool ConvertWhole(const char* to, const char* fromCode, const std::string& from, std::string& converted) {
    Converter converter(to, fromCode);
    return converter.convert(from, converted);
}

}  // namespace

bool NameToCodePage932(const std::string& name, std::string& converted) {
    std::string unused;
    if (name.empty()) {
        converted.clear();
        return true;
    }
    if (ConvertWhole("UTF-8", "UTF-8", name, unused)) return ConvertWhole("CP932", "UTF-8", name, converted);
    if (!ConvertWhole("UTF-8", "CP932", name, unused)) return false;
    converted = name;
    return true;
}

bool DecodeCp932Pair(unsigned char lead, unsigned char trail, std::string& utf8) {
    thread_local Converter decoder("UTF-8", "CP932");
    return decoder.convert(std::string{char(lead), char(trail)}, utf8) && !utf8.empty();
}

std::string EncodeCp932(const std::string& utf8) {
    thread_local Converter encoder("CP932", "UTF-8");
    std::string out, piece;
    for (size_t i = 0; i < utf8.size();) {
        // One UTF-8 sequence at a time, so a character without a code is
        // replaced alone.
        const auto c = static_cast<unsigned char>(utf8[i]);
        size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (i + length > utf8.size()) length = utf8.size() - i;
        if (c < 0x80) {
            out += char(c);
        } else if (encoder.convert(utf8.substr(i, length), piece)) {
            out += piece;
        } else {
            out += '_';
        }
        i += length;
    }
    return out;
}

}  // namespace torva
