#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/torva/authoring_files.h"
#include "tools/torva/file_system.h"

namespace torva {

bool StatFile(const std::string& path, FileFacts& facts, std::string& error) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        error = std::strerror(errno);
        return false;
    }
    facts.directory = S_ISDIR(status.st_mode);
    facts.size = static_cast<uint64_t>(status.st_size);
    // 1970-01-01 is 11644473600 s after 1601-01-01.
    const int64_t seconds = static_cast<int64_t>(status.st_mtim.tv_sec) + 11644473600LL;
    facts.fileTime = seconds < 0 ? 0 : uint64_t(seconds) * 10000000u + uint64_t(status.st_mtim.tv_nsec) / 100u;
    return true;
}

bool ListDirectory(const std::string& path, std::vector<std::string>& names, std::string& error) {
    DIR* directory = opendir(path.c_str());
    if (directory == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(directory);
    return true;
}

namespace {

// `from` converted by iconv, or false when some byte sequence has no match.
bool Convert(const char* to, const char* fromCode, const std::string& from, std::string& converted) {
    iconv_t converter = iconv_open(to, fromCode);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string input = from;
    std::string output(from.size() * 4 + 4, '\0');
    char* in = &input[0];
    char* out = &output[0];
    size_t inLeft = input.size(), outLeft = output.size();
    const bool ok = input.empty() || iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    if (!ok || inLeft != 0) return false;
    converted.assign(output.data(), output.size() - outLeft);
    return true;
}

}  // namespace

// UTF-8 names are converted. A name that is not UTF-8 but reads as code page
// 932 is kept as it is: such names come from tools that write archive names
// as stored, and packing them again must give the same names.
bool NameToCodePage932(const std::string& name, std::string& converted) {
    std::string unused;
    if (Convert("UTF-8", "UTF-8", name, unused)) return Convert("CP932", "UTF-8", name, converted);
    if (!Convert("UTF-8", "CP932", name, unused)) return false;
    converted = name;
    return true;
}

}  // namespace torva
