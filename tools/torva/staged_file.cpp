#include "tools/torva/staged_file.h"

#include <atomic>
#include <cinttypes>
#include <new>

#include "tools/torva/file_system.h"
#include "tools/torva/file_system_platform.h"
#include "tools/torva/test_pause.h"

namespace torva {
namespace {

std::atomic<unsigned long> g_counter{0};

// Another process of the same id cannot run at the same time, and the
// counter tells this process's files apart: the random bits only guard
// against a name left over from an earlier process that had the same id.
std::string UniqueName(const std::string& suffix) {
    char name[96];
    std::snprintf(name, sizeof name, ".torva-%lu-%lu-%016" PRIx64, platform::ProcessId(), ++g_counter,
                  platform::RandomNumber());
    return name + suffix;
}

const int kAttempts = 16;

}  // namespace

bool StagedFile::create(const std::string& directory, const std::string& suffix, const std::string& shown,
                        std::string& error) {
    abort();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string temporary = JoinPath(directory, UniqueName(suffix));
        // Registered before it exists: an interrupt right after creation
        // finds it. The name is this process's own, so removing it while it
        // is not there yet harms nothing.
        std::unique_ptr<InterruptCleanup> cleanup(new (std::nothrow) InterruptCleanup(temporary));
        if (!cleanup || !cleanup->registered()) {
            error = "cannot write " + shown + ": too many files being written at once";
            return false;
        }
        bool existed = false;
        file_ = platform::CreateNewFile(temporary, existed);
        if (file_ != nullptr) {
            temporary_ = temporary;
            cleanup_ = std::move(cleanup);
            failed_ = false;
            writeError_.clear();
            TestPause("staged-open");
            return true;
        }
        if (!existed) {
            error = "cannot write " + shown + ": " + platform::LastErrorText();
            return false;
        }
    }
    error = "cannot write " + shown + ": no unused temporary name";
    return false;
}

bool StagedFile::open(const std::string& target, std::string& error) {
    const std::string name = BaseName(target);
    target_ = target;
    return create(target.substr(0, target.size() - name.size()), ".partial", target, error);
}

bool StagedFile::openSpool(std::string& error) {
    target_.clear();
    return create(platform::TemporaryDirectory(), ".spool", "a temporary file", error);
}

bool StagedFile::write(const void* bytes, size_t count) {
    if (file_ == nullptr || failed_) return false;
    if (count > 0 && std::fwrite(bytes, 1, count, file_) != count) {
        failed_ = true;
        writeError_ = platform::LastErrorText();
        return false;
    }
    TestPause("staged-write");
    return true;
}

bool StagedFile::close(std::string& error) {
    if (file_ == nullptr) return false;
    bool ok = !failed_ && std::fflush(file_) == 0;
    if (!ok && writeError_.empty()) writeError_ = platform::LastErrorText();
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) {
        const std::string why = writeError_.empty() ? platform::LastErrorText() : writeError_;
        error = "cannot write " + (target_.empty() ? std::string("a temporary file") : target_) + ": " + why;
    }
    return ok;
}

bool StagedFile::commit(Replace replace, bool& existed, std::string& error) {
    existed = false;
    if (!close(error)) {
        abort();
        return false;
    }
    TestPause("staged-commit");
    const bool moved = replace == Replace::Always ? platform::MoveReplace(temporary_, target_)
                                                  : platform::MoveNoReplace(temporary_, target_, existed);
    if (!moved) {
        error = existed ? target_ + " exists" : "cannot move the finished file to " + target_;
        abort();
        return false;
    }
    temporary_.clear();
    cleanup_.reset();
    return true;
}

bool StagedFile::closeSpool(std::string& error) {
    if (close(error)) return true;
    abort();
    return false;
}

void StagedFile::abort() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) platform::RemoveFile(temporary_);
    temporary_.clear();
    cleanup_.reset();
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, Replace replace, bool& existed,
                         std::string& error) {
    existed = false;
    StagedFile staged;
    if (!staged.open(path, error)) return false;
    if (!staged.write(bytes.data(), bytes.size())) {
        std::string closing;
        staged.commit(replace, existed, closing);  // fails: the write failed
        error = closing.empty() ? "cannot write " + path : closing;
        return false;
    }
    return staged.commit(replace, existed, error);
}

}  // namespace torva
