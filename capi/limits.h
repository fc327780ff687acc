// The run-time limits of the C interface: set by the host, read by every call.
#pragma once

#include <cstdint>

namespace torva {
namespace capi {

struct Limits {
    uint64_t maxPixels;  // 0: none
    uint64_t maxBytes;   // never above the built-in cap
};

Limits CurrentLimits();

// Whether a picture of `pixels` pixels whose decoded form takes `bytes` is
// within the limits in force.
bool WithinLimits(uint64_t pixels, uint64_t bytes);

}  // namespace capi
}  // namespace torva
