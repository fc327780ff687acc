// UTF-8 and UTF-16 for the Windows wide-character API.
#pragma once

#include <string>

namespace torva {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

}  // namespace torva
