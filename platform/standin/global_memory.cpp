// Global memory blocks and the allocation-failure hook of the stand-in.
//
// A handle is the address of a small header in front of the block's bytes, so
// that a handle is not the same pointer as the locked address, as with movable
// blocks on Windows. Live handles are tracked, so that tests can tell leaked
// or still-locked blocks, and a bad handle is refused instead of crashing.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/standin/hook_state.h"
#include "platform/standin/windows_standin.h"

namespace {

struct BlockHeader {
    SIZE_T size;
    UINT lockCount;
    UINT flags;
    alignas(16) unsigned char bytes[1];
};

std::mutex& BlockMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_set<BlockHeader*>& LiveBlocks() {
    static std::unordered_set<BlockHeader*> blocks;
    return blocks;
}

using standin::state::failCountdown;
using standin::state::failNextLock;

// True when this allocation is the one the test asked to fail.
bool ShouldFailAllocation() {
    standin::state::allocationsSinceArm.fetch_add(1, std::memory_order_relaxed);
    long current = failCountdown.load(std::memory_order_relaxed);
    while (current > 0) {
        if (failCountdown.compare_exchange_weak(current, current - 1)) return current == 1;
    }
    return false;
}

bool IsDiscarded(const BlockHeader* header) { return header->size == 0 && (header->flags & GMEM_MOVEABLE) != 0; }

BlockHeader* FindBlock(HGLOBAL handle) {
    auto* header = static_cast<BlockHeader*>(handle);
    return LiveBlocks().count(header) ? header : nullptr;
}

}  // namespace

namespace standin {
namespace state {

std::atomic<long> failCountdown{0};
std::atomic<long> allocationsSinceArm{0};
std::atomic<bool> failNextLock{false};

long CountLiveBlocks(bool lockedOnly) {
    std::lock_guard<std::mutex> guard(BlockMutex());
    long count = 0;
    for (BlockHeader* block : LiveBlocks()) count += !lockedOnly || block->lockCount > 0 ? 1 : 0;
    return count;
}

}  // namespace state
}  // namespace standin

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (ShouldFailAllocation()) return nullptr;
    const SIZE_T overhead = offsetof(BlockHeader, bytes);
    if (bytes > SIZE_MAX - overhead) return nullptr;
    void* memory = std::malloc(overhead + (bytes == 0 ? 1 : bytes));
    if (memory == nullptr) return nullptr;
    auto* header = static_cast<BlockHeader*>(memory);
    header->size = bytes;
    header->lockCount = 0;
    header->flags = flags;
    if (flags & GMEM_ZEROINIT) std::memset(header->bytes, 0, bytes);
    std::lock_guard<std::mutex> guard(BlockMutex());
    LiveBlocks().insert(header);
    return header;
}

LPVOID GlobalLock(HGLOBAL handle) {
    if (failNextLock.exchange(false)) return nullptr;
    std::lock_guard<std::mutex> guard(BlockMutex());
    BlockHeader* header = FindBlock(handle);
    if (header == nullptr) return nullptr;
    // As on Windows, a movable block of 0 bytes is discarded from the start
    // and has no address to lock.
    if (IsDiscarded(header)) return nullptr;
    if (header->lockCount < GMEM_LOCKCOUNT) ++header->lockCount;
    return header->bytes;
}

BOOL GlobalUnlock(HGLOBAL handle) {
    std::lock_guard<std::mutex> guard(BlockMutex());
    BlockHeader* header = FindBlock(handle);
    if (header == nullptr || header->lockCount == 0) return FALSE;
    --header->lockCount;
    return header->lockCount > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    if (handle == nullptr) return nullptr;
    std::lock_guard<std::mutex> guard(BlockMutex());
    BlockHeader* header = FindBlock(handle);
    if (header == nullptr) return handle;  // failure: the handle is returned
    LiveBlocks().erase(header);
    std::free(header);
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL handle) {
    std::lock_guard<std::mutex> guard(BlockMutex());
    BlockHeader* header = FindBlock(handle);
    return header == nullptr ? 0 : header->size;
}

UINT GlobalFlags(HGLOBAL handle) {
    std::lock_guard<std::mutex> guard(BlockMutex());
    BlockHeader* header = FindBlock(handle);
    if (header == nullptr) return GMEM_INVALID_HANDLE;
    return (header->lockCount & GMEM_LOCKCOUNT) | (IsDiscarded(header) ? GMEM_DISCARDED : 0u);
}

// Scratch memory comes from the nothrow forms of the global operator new; the
// hook makes them fail on demand. They forward to the throwing forms (which
// stay the runtime's own, so sanitizers still pair allocations with deletes).
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    if (ShouldFailAllocation()) return nullptr;
    try {
        return ::operator new(bytes);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    if (ShouldFailAllocation()) return nullptr;
    try {
        return ::operator new[](bytes);
    } catch (...) {
        return nullptr;
    }
}
