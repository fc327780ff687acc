#include "tools/torva/authoring_files.h"

#include <cerrno>
#include <cstring>

#include "tools/torva/file_system.h"
#include "tools/torva/file_system_platform.h"

namespace torva {

StagedFile::~StagedFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (!temporary_.empty()) platform::RemoveFile(temporary_);
}

bool StagedFile::open(const std::string& target, std::string& error) {
    const std::string name = BaseName(target);
    temporary_ = target.substr(0, target.size() - name.size()) + "." + name + ".torva-partial";
    target_ = target;
    file_ = platform::OpenFile(temporary_, "wb");
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

bool StagedFile::commit(bool replace, std::string& error) {
    if (file_ == nullptr) return false;
    const bool written = !failed_ && std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed) {
        error = "cannot write " + target_;
        return false;
    }
    bool existed = false;
    const bool moved = replace ? platform::MoveReplace(temporary_, target_)
                               : platform::MoveNoReplace(temporary_, target_, existed);
    if (!moved) {
        error = existed ? target_ + " exists (use --overwrite to replace it)"
                        : "cannot name the finished file " + target_ + ": " + platform::LastErrorText();
        return false;
    }
    temporary_.clear();
    return true;
}

}  // namespace torva
