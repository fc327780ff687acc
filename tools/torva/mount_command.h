// torva mount: an archive shown as a read-only folder through FUSE, natively;
// elsewhere the command says it is not available.
#pragma once

#include "tools/torva/options.h"
#include "tools/torva/report.h"

namespace torva {

extern const char kMountHelp[];

// Runs `torva mount ARCHIVE DIR` (--png: the pictures as PNG too).
int RunMount(const Options& options, Reporter& reporter);

}  // namespace torva
