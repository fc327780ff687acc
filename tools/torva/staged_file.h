// Files that appear whole or not at all. A staged file is written under a
// temporary name beside its target and renamed over it only once complete;
// the temporary name is unique across processes (process id, a counter and
// random bits), created exclusively, and registered for removal on
// interrupt until it is renamed or removed. A spool is the same kind of file
// in the system's temporary directory that is never renamed: it goes when
// the object goes, or on interrupt.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

#include "tools/torva/interrupt_cleanup.h"

namespace torva {

enum class Replace { Never, Always };

class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile() { abort(); }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Creates the temporary file for `target`; false with `error` set
    // ("cannot write TARGET: why").
    bool open(const std::string& target, std::string& error);
    // Creates a spool in the system's temporary directory.
    bool openSpool(std::string& error);
    bool write(const void* bytes, size_t count);
    // Closes the file and renames it over the target (an existing target
    // only with Replace::Always; else the commit fails with `existed` set).
    // On failure the temporary file is removed and `error` says why.
    bool commit(Replace replace, bool& existed, std::string& error);
    // Closes a spool, which stays (and stays registered) for reading.
    bool closeSpool(std::string& error);
    // Closes and removes the temporary file, if any.
    void abort();

    const std::string& temporaryPath() const { return temporary_; }

private:
    bool create(const std::string& directory, const std::string& suffix, const std::string& shown,
                std::string& error);
    bool close(std::string& error);

    std::FILE* file_ = nullptr;
    std::string temporary_;
    std::string target_;
    std::unique_ptr<InterruptCleanup> cleanup_;
    bool failed_ = false;
    std::string writeError_;
};

// Writes `bytes` to `path` through a staged file. With Replace::Never an
// existing `path` is left alone and the call fails with `existed` set.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, Replace replace, bool& existed,
                         std::string& error);

}  // namespace torva
