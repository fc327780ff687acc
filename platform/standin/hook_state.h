// State of the stand-in platform that the test-only hooks
// (platform/standin/test_hooks.cpp) set and the stand-in reads. Left alone,
// it makes no allocation fail and uses no double-byte code page.
#pragma once

#include <atomic>

namespace standin {
namespace state {

extern std::atomic<long> failCountdown;
extern std::atomic<long> allocationsSinceArm;
extern std::atomic<bool> failNextLock;
extern std::atomic<unsigned> codePage;

// Global blocks alive, or only those of them that are locked.
long CountLiveBlocks(bool lockedOnly);

}  // namespace state
}  // namespace standin
