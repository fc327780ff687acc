#include "tools/torva/progress.h"

#include <algorithm>
#include <cstdio>

#include "tools/torva/file_system.h"

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
        std::string tail = label.size() <= room ? label : label.substr(label.size() - (room > 3 ? room - 3 : 0));
        // Never start inside a UTF-8 character.
        size_t start = 0;
        while (start < tail.size() && (static_cast<unsigned char>(tail[start]) & 0xC0) == 0x80) ++start;
        text += (tail.size() < label.size() ? "..." : "") + tail.substr(start);
    }
    size_t end = std::min(columns, text.size());
    while (end < text.size() && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

void Progress::update(size_t done, const std::string& label) {
    if (!enabled_) return;
    const std::string line = Render(done, total_, label, kColumns);
    WriteStandardError("\r" + line + std::string(kColumns - std::min(kColumns, line.size()), ' '));
    drawn_ = true;
}

void Progress::clear() {
    if (drawn_) {
        WriteStandardError("\r" + std::string(kColumns, ' ') + "\r");
        drawn_ = false;
    }
}

void Progress::message(const std::string& line) {
    clear();
    WriteStandardError(line + "\n");
}

void Progress::finish() {
    clear();
    std::fflush(stderr);
}

}  // namespace torva
