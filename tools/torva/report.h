// Messages on standard error, "torva: WHAT: MESSAGE", and the count of
// failures that decides the exit status. Safe to use from several threads.
#pragma once

#include <mutex>
#include <string>

#include "tools/torva/progress.h"

namespace torva {

// Where the messages of a piece of work go.
class Messages {
public:
    virtual ~Messages() = default;
    // A failure: the exit status becomes 1.
    void fail(const std::string& what, const std::string& message) {
        recordFailure(message);
        print("torva: " + what + ": " + message, 1);
    }
    // Something the user should know that is no failure.
    void note(const std::string& what, const std::string& message) { print("torva: " + what + ": " + message, 0); }
    // A line as it is, counted as `failures` failures.
    virtual void print(const std::string& line, int failures) = 0;

protected:
    // Told the message of each failure before it is printed.
    virtual void recordFailure(const std::string&) {}
};

// Messages printed at once.
class Reporter final : public Messages {
public:
    void print(const std::string& line, int failures) override;

    bool failed() const;
    // The message of the latest failure, for the "reason" of a JSON entry.
    std::string lastFailure() const;
    void setProgress(Progress* progress);
    Progress* progress() const { return progress_; }

private:
    void recordFailure(const std::string& message) override;

    mutable std::mutex lock_;
    std::string lastFailure_;
    Progress* progress_ = nullptr;
    int failures_ = 0;
};

}  // namespace torva
