// Lists of file names, one a line, as --list reads them.
#pragma once

#include <string>
#include <vector>

namespace torva {

// The entries of a list's text, read as UTF-8: a byte-order mark at the
// start is dropped, lines end in LF or CR LF, and empty lines are skipped.
std::vector<std::string> ListEntries(const std::string& text);

// Reads the list file at `path` ('-': standard input) into its entries;
// false with `error` set when it cannot be read.
bool ReadListFile(const std::string& path, std::vector<std::string>& entries, std::string& error);

}  // namespace torva
