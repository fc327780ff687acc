// Member names chosen on the command line: a plain name or a shell-style
// pattern, compared with a name as shown (UTF-8) without regard to ASCII
// case. '*' matches any run of characters, '?' one character, "[abc]",
// "[a-z]" and "[!abc]" one character of a set (or not of it).
#pragma once

#include <string>

namespace torva {

bool MatchesPattern(const std::string& pattern, const std::string& name);

// True when `text` holds '*', '?' or '[': a pattern, not one plain name.
bool IsPattern(const std::string& text);

}  // namespace torva
