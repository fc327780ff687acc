#include "tools/torva/json_reader.h"

namespace torva {
namespace {

class Parser {
public:
    Parser(const std::string& text, std::string& error) : text_(text), error_(error) {}

    bool document(JsonValue& value) {
        skipSpace();
        if (!parseValue(value, 0)) return false;
        skipSpace();
        if (at_ != text_.size()) return fail("unexpected text after the document");
        return true;
    }

private:
    bool fail(const std::string& what) {
        size_t line = 1;
        for (size_t i = 0; i < at_ && i < text_.size(); ++i) line += text_[i] == '\n' ? 1 : 0;
        error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    void skipSpace() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }

    bool literal(const char* word) {
        const std::string expected(word);
        if (text_.compare(at_, expected.size(), expected) != 0) return fail("unexpected character");
        at_ += expected.size();
        return true;
    }

    bool parseValue(JsonValue& value, int depth) {
        if (at_ >= text_.size()) return fail("unexpected end of the document");
        const char c = text_[at_];
        if (c == '{' || c == '[') {
            if (depth >= kJsonMostDepth) return fail("nested too deeply");
            return c == '{' ? parseObject(value, depth + 1) : parseArray(value, depth + 1);
        }
        if (c == '"') {
            value.type = JsonValue::Type::String;
            return parseString(value.text);
        }
        if (c == 't' || c == 'f') {
            value.type = JsonValue::Type::Bool;
            value.boolean = c == 't';
            return literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            value.type = JsonValue::Type::Null;
            return literal("null");
        }
        value.type = JsonValue::Type::Number;
        return parseNumber(value.text);
    }

    bool parseArray(JsonValue& value, int depth) {
        value.type = JsonValue::Type::Array;
        ++at_;
        skipSpace();
        if (at_ < text_.size() && text_[at_] == ']') {
            ++at_;
            return true;
        }
        for (;;) {
            value.items.emplace_back();
            skipSpace();
            if (!parseValue(value.items.back(), depth)) return false;
            skipSpace();
            if (at_ < text_.size() && text_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == ']') {
                ++at_;
                return true;
            }
            return fail("expected ',' or ']'");
        }
    }

    bool parseObject(JsonValue& value, int depth) {
        value.type = JsonValue::Type::Object;
        ++at_;
        skipSpace();
        if (at_ < text_.size() && text_[at_] == '}') {
            ++at_;
            return true;
        }
        for (;;) {
            skipSpace();
            std::string key;
            if (at_ >= text_.size() || text_[at_] != '"') return fail("expected a member name");
            if (!parseString(key)) return false;
            skipSpace();
            if (at_ >= text_.size() || text_[at_] != ':') return fail("expected ':'");
            ++at_;
            skipSpace();
            value.members.emplace_back(key, JsonValue());
            if (!parseValue(value.members.back().second, depth)) return false;
            skipSpace();
            if (at_ < text_.size() && text_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == '}') {
                ++at_;
                return true;
            }
            return fail("expected ',' or '}'");
        }
    }

    bool digits() {
        const size_t start = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
        return at_ > start;
    }

    bool parseNumber(std::string& out) {
        const size_t start = at_;
        if (text_[at_] == '-') ++at_;
        if (at_ < text_.size() && text_[at_] == '0') {
            ++at_;
        } else if (!digits()) {
            return fail("unexpected character");
        }
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            if (!digits()) return fail("a fraction needs digits");
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
            if (!digits()) return fail("an exponent needs digits");
        }
        out = text_.substr(start, at_ - start);
        return true;
    }

    bool hex4(uint32_t& value) {
        if (text_.size() - at_ < 4) return fail("a \\u escape needs four hex digits");
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            uint32_t digit = 0;
            if (c >= '0' && c <= '9') {
                digit = uint32_t(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = uint32_t(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = uint32_t(c - 'A' + 10);
            } else {
                return fail("a \\u escape needs four hex digits");
            }
            value = value * 16 + digit;
        }
        return true;
    }

    static void appendUtf8(std::string& out, uint32_t code) {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }

    // The length of the valid UTF-8 sequence at `at_`, 0 when there is none.
    size_t utf8Length() const {
        const unsigned char lead = static_cast<unsigned char>(text_[at_]);
        size_t length = 0;
        uint32_t code = 0, least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, code = lead & 0x1F, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, code = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, code = lead & 0x07, least = 0x10000;
        } else {
            return 0;
        }
        if (text_.size() - at_ < length) return 0;
        for (size_t i = 1; i < length; ++i) {
            const unsigned char next = static_cast<unsigned char>(text_[at_ + i]);
            if ((next & 0xC0) != 0x80) return 0;
            code = code << 6 | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
        return length;
    }

    bool parseString(std::string& out) {
        ++at_;  // the opening quote
        for (;;) {
            if (at_ >= text_.size()) return fail("a string is not closed");
            const unsigned char c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20) return fail("a control character inside a string");
            if (c >= 0x80) {
                const size_t length = utf8Length();
                if (length == 0) return fail("a string is not valid UTF-8");
                out.append(text_, at_, length);
                at_ += length;
                continue;
            }
            ++at_;
            if (c != '\\') {
                out += char(c);
                continue;
            }
            if (at_ >= text_.size()) return fail("a string is not closed");
            const char escape = text_[at_++];
            switch (escape) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    uint32_t code = 0;
                    if (!hex4(code)) return false;
                    if (code >= 0xDC00 && code <= 0xDFFF) return fail("a lone low surrogate");
                    if (code >= 0xD800 && code <= 0xDBFF) {
                        uint32_t low = 0;
                        if (text_.compare(at_, 2, "\\u") != 0) return fail("a lone high surrogate");
                        at_ += 2;
                        if (!hex4(low)) return false;
                        if (low < 0xDC00 || low > 0xDFFF) return fail("a lone high surrogate");
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    }
                    appendUtf8(out, code);
                    break;
                }
                default: return fail("an unknown escape in a string");
            }
        }
    }

    const std::string& text_;
    std::string& error_;
    size_t at_ = 0;
};

}  // namespace

const JsonValue* JsonValue::find(const std::string& key) const {
    if (type != Type::Object) return nullptr;
    for (const auto& member : members) {
        if (member.first == key) return &member.second;
    }
    return nullptr;
}

bool ParseJson(const std::string& document, JsonValue& value, std::string& error) {
    value = JsonValue();
    Parser parser(document, error);
    return parser.document(value);
}

bool AsUint64(const JsonValue& value, uint64_t& out) {
    if (value.type != JsonValue::Type::Number || value.text.empty()) return false;
    uint64_t result = 0;
    for (const char c : value.text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = uint64_t(c - '0');
        if (result > (UINT64_MAX - digit) / 10) return false;
        result = result * 10 + digit;
    }
    out = result;
    return true;
}

}  // namespace torva
