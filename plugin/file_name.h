// Name tests on the host's file name. Only the part after the last backslash
// counts, and both the backslash and the dot are found with the multibyte-
// aware runtime search, so that the trail byte of a double-byte character
// (0x5C is a valid trail byte in code page 932) is never taken for either.
// The runtime only ever sees a copy of a name that ends in two terminators, so
// a name whose last byte is a lead byte is never read past its end.
#pragma once

#include "plugin/records.h"

// The part of `path` after its last backslash, or all of it.
const char* BaseNameOf(const char* path);

// The tail of `baseName` from its last '.', or null when it has none.
const char* ExtensionOf(const char* baseName);

// True when the file's extension equals `extension` (".ald"), compared
// case-insensitively and multibyte-aware; a name without one never matches.
bool HasExtension(const FileAccess* file, const char* extension);

// The name of the archive after its last backslash, cut to kBaseNameBytes - 1
// bytes without splitting a character, then ended at its last '.', in a
// buffer of kBaseNameBytes (formats/archive_layout.h).
void FormBaseName(const FileAccess* file, char* baseName);
