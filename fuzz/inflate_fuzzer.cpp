#include "fuzz/inflate_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    torvafuzz::RunInflateInput(data, size);
    return 0;
}
