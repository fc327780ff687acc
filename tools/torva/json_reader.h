// A small, strict JSON reader for the documents the tool reads back (the
// archive manifest): the whole of RFC 8259 and nothing more (no comments,
// no trailing commas, no bytes after the value), nested at most
// kJsonMostDepth deep. Numbers are kept as their text; AsUint64 reads the
// non-negative integers exactly.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace torva {

const int kJsonMostDepth = 64;

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    std::string text;  // a string's UTF-8 bytes, or a number as written
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member named `key`, or null when there is none (or this is no object).
    const JsonValue* find(const std::string& key) const;
};

// Parses `document`; on failure false, with `error` saying what and where
// ("line 3: expected ':'").
bool ParseJson(const std::string& document, JsonValue& value, std::string& error);

// The number as an unsigned 64-bit integer: false for a fraction, an
// exponent, a sign or a value beyond 2^64 - 1.
bool AsUint64(const JsonValue& value, uint64_t& out);

}  // namespace torva
