// The two owning holders: a global block on its way to the host, and a heap
// buffer that lives for one call. Both release what they hold on every way out
// of an operation.
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

// Owns one heap buffer obtained with the global new, zero-filled unless the
// caller asks for it uninitialised.
class HeapBuffer {
public:
    unsigned char* data = nullptr;
    uint32_t size = 0;

    HeapBuffer() = default;
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    virtual ~HeapBuffer() { release(); }

    // A zero-filled buffer of `bytes`; false (and empty) when the heap refuses.
    bool allocate(uint32_t bytes);

    // The same without the zero fill: the contents are indeterminate, and the
    // caller writes every byte before it reads it.
    bool allocateUninitialised(uint32_t bytes);

    void release() {
        delete[] data;
        data = nullptr;
        size = 0;
    }
};
