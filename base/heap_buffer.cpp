#include "base/heap_buffer.h"

#include <cstring>
#include <new>

namespace torva {

bool HeapBuffer::allocate(uint32_t bytes) {
    if (!allocateUninitialised(bytes)) return false;
    std::memset(data_, 0, bytes == 0 ? 1 : bytes);
    return true;
}

bool HeapBuffer::allocateUninitialised(uint32_t bytes) {
    release();
    // At least one byte, so that an empty buffer is still a valid pointer.
    data_ = new (std::nothrow) unsigned char[bytes == 0 ? 1 : bytes];
    if (data_ == nullptr) return false;
    size_ = bytes;
    return true;
}

void HeapBuffer::release() {
    delete[] data_;
    data_ = nullptr;
    size_ = 0;
}

}  // namespace torva
