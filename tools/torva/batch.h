// Runs numbered pieces of work on several threads. Each piece's messages are
// held back and printed in the pieces' order, so what a run prints is the
// same for any number of threads and any order of completion; one progress
// line counts the pieces done that are to be counted (the pictures of a
// convert, not the members that turn out to be none).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/torva/report.h"

namespace torva {

// Runs work(i, messages) for i in [0, labels.size()) on up to `threads`
// threads (the calling thread alone for one), taking the pieces in order.
// `labels` name the pieces on the progress line, which counts those whose
// `counted` is true (as many as `labels`).
void RunBatch(const std::vector<std::string>& labels, const std::vector<bool>& counted, unsigned threads,
              Reporter& reporter, const std::function<void(size_t, Messages&)>& work);

}  // namespace torva
