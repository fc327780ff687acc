// The owner of a global block on its way to the host; it releases the block
// on every way out of an operation that does not hand it over. (Scratch
// memory is held by torva::HeapBuffer, base/heap_buffer.h.)
#pragma once

#include <cstdint>

#include "platform/winapi.h"

// Owns one movable global memory block and the locks taken through it.
class GlobalBlock {
public:
    HGLOBAL handle = nullptr;
    int32_t lockCount = 0;

    GlobalBlock() = default;
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    virtual ~GlobalBlock() { release(); }

    // A movable, zero-initialised block of `bytes`; false when none is given.
    bool allocate(SIZE_T bytes) {
        release();
        handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        return handle != nullptr;
    }

    // Locks the block once more; null when the lock fails (no lock counted).
    void* lock() {
        if (handle == nullptr) return nullptr;
        void* address = GlobalLock(handle);
        if (address != nullptr) ++lockCount;
        return address;
    }

    // Undoes every outstanding lock and gives up ownership: from here on the
    // block belongs to whoever receives the handle.
    HGLOBAL handOver() {
        HGLOBAL given = handle;
        while (lockCount > 0) {
            GlobalUnlock(handle);
            --lockCount;
        }
        handle = nullptr;
        return given;
    }

    // Unlocks once per outstanding lock, frees the block, clears both fields.
    void release() {
        if (handle != nullptr) {
            while (lockCount > 0) {
                GlobalUnlock(handle);
                --lockCount;
            }
            GlobalFree(handle);
            handle = nullptr;
        }
        lockCount = 0;
    }
};
