#include "tools/torva/authoring_files.h"

#include <cerrno>
#include <cstring>

#include "tools/torva/file_system.h"

namespace torva {

StagedFile::~StagedFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (!temporary_.empty()) std::remove(temporary_.c_str());
}

bool StagedFile::open(const std::string& target, std::string& error) {
    const std::string name = BaseName(target);
    temporary_ = target.substr(0, target.size() - name.size()) + "." + name + ".torva-partial";
    target_ = target;
    file_ = std::fopen(temporary_.c_str(), "wb");
    if (file_ == nullptr) {
        error = "cannot write " + target + ": " + std::strerror(errno);
        temporary_.clear();
        return false;
    }
    return true;
}

bool StagedFile::write(const void* bytes, size_t count) {
    if (file_ == nullptr || failed_) return false;
    failed_ = count > 0 && std::fwrite(bytes, 1, count, file_) != count;
    return !failed_;
}

}  // namespace torva
