// A one-line progress bar on standard error, drawn only when standard error
// is a terminal and the work covers more than one item.
#pragma once

#include <cstddef>
#include <string>

namespace torva {

class Progress {
public:
    Progress(size_t total, bool enabled);
    ~Progress();

    // Moves to item `done` (items finished so far) working on `label`.
    void update(size_t done, const std::string& label);
    // Prints a message on a line of its own, above the bar.
    void message(const std::string& line);
    void finish();

    // The text of the bar for a terminal of `columns` columns (for tests).
    static std::string Render(size_t done, size_t total, const std::string& label, size_t columns);

private:
    void clear();
    size_t total_;
    bool enabled_;
    bool drawn_ = false;
};

}  // namespace torva
