// The stand-in's controls for tests, kept out of the library itself.
#include "platform/standin/hook_state.h"
#include "platform/standin/standin_control.h"

namespace standin {

void SetCodePage(unsigned codePage) { state::codePage.store(codePage == 932 ? 932u : 0u); }

void FailAllocationAfter(long n) {
    state::allocationsSinceArm.store(0);
    state::failCountdown.store(n < 0 ? 0 : n);
}

long AllocationsSinceArm() { return state::allocationsSinceArm.load(); }

void FailNextLock() { state::failNextLock.store(true); }

long LiveGlobalBlocks() { return state::CountLiveBlocks(false); }

long LockedGlobalBlocks() { return state::CountLiveBlocks(true); }

}  // namespace standin
