// What the core reads from a file's name: the extension of its last component
// and, for the names of ALK members, its stem. The name is taken as plain
// bytes in any encoding: '/' and '\' separate components, the last '.' starts
// the extension, and only ASCII letters fold case. (The plug-in finds the
// same parts with the multibyte-aware runtime of its host's code page and
// passes the results in; plugin/file_name.h.)
#pragma once

#include "formats/archive_layout.h"
#include "formats/format.h"

namespace torva {

// ".ald" or ".vsp" in any ASCII case, or Other. A null name has no extension.
Extension ExtensionOfName(const char* name);

// The last component of `name`, cut to kBaseNameBytes - 1 bytes and then
// ended at its last '.', in `stem` (kBaseNameBytes bytes, zero-filled after
// the text). A null name gives an empty stem.
void StemOfName(const char* name, char* stem);

}  // namespace torva
