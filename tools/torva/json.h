// The little JSON the tool writes: strings quoted and escaped.
#pragma once

#include <string>

namespace torva {

// `text` as a JSON string literal. Bytes that are no valid UTF-8 become
// U+FFFD, so the document is always valid.
std::string JsonString(const std::string& text);

// The entry of a file that could not be read: {"file": ..., "error": true,
// "reason": ...}, the reason as standard error gives it.
std::string JsonError(const std::string& file, const std::string& reason);

}  // namespace torva
