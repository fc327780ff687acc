#include "tools/torva/list_file.h"

#include "tools/torva/file_system.h"

namespace torva {

std::vector<std::string> ListEntries(const std::string& text) {
    static const char kByteOrderMark[] = "\xEF\xBB\xBF";
    size_t start = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
    std::vector<std::string> entries;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string entry = text.substr(start, end - start);
        if (!entry.empty() && entry.back() == '\r') entry.pop_back();
        if (!entry.empty()) entries.push_back(entry);
        start = end + 1;
    }
    return entries;
}

bool ReadListFile(const std::string& path, std::vector<std::string>& entries, std::string& error) {
    std::string text;
    if (path == "-") {
        if (!ReadStandardInput(text, error)) return false;
    } else {
        InputFile list;
        if (!list.open(path, error)) return false;
        // A list of names is text; nothing near this size is one.
        if (list.size() > (uint64_t{64} << 20) || !list.read(0, size_t(list.size()), text)) {
            error = list.size() > (uint64_t{64} << 20) ? "larger than any list of names" : "the read failed";
            return false;
        }
    }
    entries = ListEntries(text);
    return true;
}

}  // namespace torva
