// Code page 932 (the games' Shift-JIS) to and from UTF-8, one character at a
// time, through the platform's own tables: glibc's iconv natively, the
// Windows code-page API in torva.exe.
#pragma once

#include <string>

namespace torva {

// Lead bytes of double-byte characters, and what may follow them.
inline bool IsCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
inline bool IsCp932Trail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// Decodes one double-byte character; false when the code page assigns it
// nothing.
bool DecodeCp932Pair(unsigned char lead, unsigned char trail, std::string& utf8);

// Encodes UTF-8 text in code page 932; characters it lacks become '_'.
std::string EncodeCp932(const std::string& utf8);

// A file name (UTF-8) in code page 932 exactly, for ALD member names; false
// when some character has no code there. Natively a name that is no UTF-8
// but reads as code page 932 is kept as it is: such names come from tools
// that write archive names as stored, and packing them again must give the
// same names.
bool NameToCodePage932(const std::string& name, std::string& converted);

}  // namespace torva
