#include "tools/torva/progress.h"

#include <cstdio>

namespace torva {

namespace {
const size_t kColumns = 79;
const size_t kBarWidth = 30;
}  // namespace

Progress::Progress(size_t total, bool enabled) : total_(total), enabled_(enabled && total > 1) {}

Progress::~Progress() { finish(); }

std::string Progress::Render(size_t done, size_t total, const std::string& label, size_t columns) {
    if (total == 0) total = 1;
    if (done > total) done = total;
    const size_t filled = done * kBarWidth / total;
    std::string text = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " +
                       std::to_string(done) + "/" + std::to_string(total) + " ";
    if (text.size() < columns) {
        // Keep the end of the label, which is the file's own name.
        const size_t room = columns - text.size();
        text += label.size() <= room ? label : "..." + label.substr(label.size() - (room > 3 ? room - 3 : 0));
    }
    return text.substr(0, columns);
}

void Progress::update(size_t done, const std::string& label) {
    if (!enabled_) return;
    const std::string line = Render(done, total_, label, kColumns);
    std::fprintf(stderr, "\r%-*s", int(kColumns), line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::clear() {
    if (drawn_) {
        std::fprintf(stderr, "\r%*s\r", int(kColumns), "");
        drawn_ = false;
    }
}

void Progress::message(const std::string& line) {
    clear();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

void Progress::finish() {
    clear();
    std::fflush(stderr);
}

}  // namespace torva
