// The files to remove when the process is interrupted (SIGINT or SIGTERM;
// a console's Ctrl+C or close on Windows): temporary files not yet renamed
// over their targets and the spooled copy of standard input. The handler
// removes every registered path and then lets the interruption end the
// process as it would have.
#pragma once

#include <cstddef>
#include <string>

namespace torva {

// Installs the handler; once, at the start of main.
void InstallInterruptCleanup();

// A path registered for removal on interrupt for as long as the object
// lives (or until release()). Registration can fail when the path is too
// long or every slot is taken; a file that could not be registered must not
// be made.
class InterruptCleanup {
public:
    explicit InterruptCleanup(const std::string& path);
    ~InterruptCleanup() { release(); }
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

    bool registered() const { return slot_ != kNone; }
    void release();

    // The room there is: one slot per file written at once (at most 64 jobs,
    // the standard-input spool and a few to spare).
    static const size_t kSlots = 96;
    static const size_t kPathBytes = 4096;

private:
    static const size_t kNone = kSlots;
    size_t slot_ = kNone;
};

// Removes every registered path, allocating nothing: safe in a signal
// handler.
void RemoveRegisteredFiles();

}  // namespace torva
