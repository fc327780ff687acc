#include "tools/torva/batch.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "tools/torva/file_system.h"

namespace torva {
namespace {

// The messages of one piece, kept until the pieces before it are done.
class HeldMessages final : public Messages {
public:
    void print(const std::string& line, int failures) override { lines_.push_back({line, failures}); }
    void release(Reporter& reporter) {
        for (const auto& line : lines_) reporter.print(line.first, line.second);
        lines_.clear();
    }

private:
    std::vector<std::pair<std::string, int>> lines_;
};

class Runner {
public:
    Runner(const std::vector<std::string>& labels, const std::vector<bool>& counted, Reporter& reporter)
        : labels_(labels), counted_(counted), reporter_(reporter), held_(labels.size()), done_(labels.size(), false),
          progress_(static_cast<size_t>(std::count(counted.begin(), counted.end(), true)), StandardErrorIsTerminal()) {
        reporter_.setProgress(&progress_);
    }
    ~Runner() {
        progress_.finish();
        reporter_.setProgress(nullptr);
    }

    void work(const std::function<void(size_t, Messages&)>& task) {
        for (size_t i = next_++; i < labels_.size(); i = next_++) {
            task(i, held_[i]);
            finished(i);
        }
    }

private:
    void finished(size_t i) {
        std::lock_guard<std::mutex> hold(lock_);
        done_[i] = true;
        while (printed_ < labels_.size() && done_[printed_]) held_[printed_++].release(reporter_);
        if (i < counted_.size() && counted_[i]) progress_.update(++completed_, labels_[i]);
    }

    const std::vector<std::string>& labels_;
    const std::vector<bool>& counted_;
    Reporter& reporter_;
    std::vector<HeldMessages> held_;
    std::vector<bool> done_;
    Progress progress_;
    std::mutex lock_;
    std::atomic<size_t> next_{0};
    size_t completed_ = 0;
    size_t printed_ = 0;
};

}  // namespace

void RunBatch(const std::vector<std::string>& labels, const std::vector<bool>& counted, unsigned threads,
              Reporter& reporter, const std::function<void(size_t, Messages&)>& work) {
    Runner runner(labels, counted, reporter);
    const size_t helpers = std::min<size_t>(threads, labels.size()) - (labels.empty() ? 0 : 1);
    std::vector<std::thread> pool;
    for (size_t i = 0; i < helpers; ++i) {
        try {
            pool.emplace_back([&runner, &work]() { runner.work(work); });
        } catch (const std::exception&) {
            break;  // no more threads to be had: fewer do the work
        }
    }
    runner.work(work);
    for (std::thread& thread : pool) thread.join();
}

}  // namespace torva
