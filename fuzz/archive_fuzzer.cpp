#include "fuzz/fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    torvafuzz::RunArchiveInput(data, size);
    return 0;
}
