#include "tools/torva/report.h"

#include "tools/torva/file_system.h"

namespace torva {

void Reporter::print(const std::string& line, int failures) {
    std::lock_guard<std::mutex> hold(lock_);
    failures_ += failures;
    if (progress_ != nullptr) {
        progress_->message(line);
    } else {
        WriteStandardError(line + "\n");
    }
}

bool Reporter::failed() const {
    std::lock_guard<std::mutex> hold(lock_);
    return failures_ != 0;
}

std::string Reporter::lastFailure() const {
    std::lock_guard<std::mutex> hold(lock_);
    return lastFailure_;
}

void Reporter::recordFailure(const std::string& message) {
    std::lock_guard<std::mutex> hold(lock_);
    lastFailure_ = message;
}

void Reporter::setProgress(Progress* progress) {
    std::lock_guard<std::mutex> hold(lock_);
    progress_ = progress;
}

}  // namespace torva
