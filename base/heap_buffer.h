// A heap buffer that lives for one call: obtained with the nothrow global new,
// released on every way out of the scope that holds it. A refused allocation
// is a false result, never an exception.
#pragma once

#include <cstdint>

namespace torva {

class HeapBuffer {
public:
    HeapBuffer() = default;
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    ~HeapBuffer() { release(); }

    unsigned char* data() const { return data_; }
    uint32_t size() const { return size_; }

    // A zero-filled buffer of `bytes`; false (and empty) when the heap refuses.
    bool allocate(uint32_t bytes);

    // The same without the zero fill: the contents are indeterminate, and the
    // caller writes every byte before it reads it.
    bool allocateUninitialised(uint32_t bytes);

    void release();

private:
    unsigned char* data_ = nullptr;
    uint32_t size_ = 0;
};

}  // namespace torva
