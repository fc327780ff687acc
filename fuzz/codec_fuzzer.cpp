// One per-codec fuzz target, chosen at build time by TORVA_CODEC_TARGET (an
// index into kCodecTargets): any difference between the fast and the plain
// decoder aborts, as does anything the sanitizers see.
#include <cstdio>
#include <cstdlib>

#include "fuzz/codec_comparisons.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const torvafuzz::CodecTarget& target = torvafuzz::kCodecTargets[TORVA_CODEC_TARGET];
    const std::string difference = target.compare(data, size);
    if (!difference.empty()) {
        std::fprintf(stderr, "%s_fuzzer: %s\n", target.name, difference.c_str());
        std::abort();
    }
    return 0;
}
