// Calls a function through a hand-written call sequence that sees what the
// compiler would take on trust: how many argument bytes the callee removed
// from the stack, and whether it kept the registers it must preserve.
#pragma once

#include <cstdint>
#include <vector>

namespace torvatest {

struct MeasuredCall {
    uint32_t result;          // EAX on return
    uint32_t bytesRemoved;    // argument bytes popped by the callee
    bool registersPreserved;  // EBX, ESI and EDI as they were
};

// Pushes `arguments` right to left, as the Windows API does, and calls `function`.
MeasuredCall CallMeasured(const void* function, const std::vector<uint32_t>& arguments);

}  // namespace torvatest
