// The commands that write the game's formats: `encode` (pictures to QNT,
// PMS or VSP) and `pack` (files to an ALD or ALK archive). Each takes the
// command line's options and returns the exit status.
#pragma once

#include "tools/torva/options.h"
#include "tools/torva/report.h"

namespace torva {

int RunEncode(const Options& options, Reporter& reporter);
int RunPack(const Options& options, Reporter& reporter);
// pack --manifest: the archive a manifest describes, rebuilt from its files.
int RunPackManifest(const Options& options, Reporter& reporter);

}  // namespace torva
