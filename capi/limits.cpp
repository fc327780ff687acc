#include "capi/limits.h"

#include <atomic>

#include "base/checked_size.h"
#include "torvasoft/torvasoft.h"

namespace torva {
namespace capi {

namespace {

// Two independent words: a reader may see one new and one old value only
// while a host changes the limits during calls, which the header leaves to
// the host; each value on its own is always one the host set.
std::atomic<uint64_t> maxPixels{0};
std::atomic<uint64_t> maxBytes{kMaxAllocationBytes};

}  // namespace

Limits CurrentLimits() { return Limits{maxPixels.load(), maxBytes.load()}; }

bool WithinLimits(uint64_t pixels, uint64_t bytes) {
    const Limits limits = CurrentLimits();
    if (limits.maxPixels != 0 && pixels > limits.maxPixels) return false;
    return bytes <= limits.maxBytes;
}

}  // namespace capi
}  // namespace torva

extern "C" {

void torvasoft_get_limits(torvasoft_limits* limits) {
    if (limits == nullptr) return;
    const torva::capi::Limits current = torva::capi::CurrentLimits();
    limits->max_pixels = current.maxPixels;
    limits->max_bytes = current.maxBytes;
}

void torvasoft_set_limits(const torvasoft_limits* limits) {
    const uint64_t cap = torva::kMaxAllocationBytes;
    const uint64_t pixels = limits == nullptr ? 0 : limits->max_pixels;
    uint64_t bytes = limits == nullptr ? 0 : limits->max_bytes;
    if (bytes == 0 || bytes > cap) bytes = cap;
    torva::capi::maxPixels.store(pixels);
    torva::capi::maxBytes.store(bytes);
}

}  // extern "C"
