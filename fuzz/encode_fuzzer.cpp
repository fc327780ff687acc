#include "fuzz/encode_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    torvafuzz::RunEncodeInput(data, size);
    return 0;
}
