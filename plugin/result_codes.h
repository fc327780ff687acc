// The signed 32-bit result of every operation and entry point.
#pragma once

#include <cstdint>

enum ResultCode : int32_t {
    Ok = 0,
    OutOfMemory = 1,
    InvalidArgument = 10,
};
