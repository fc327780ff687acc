#include "fuzz/capi_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    torvafuzz::RunCapiInput(data, size);
    return 0;
}
