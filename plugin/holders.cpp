#include "plugin/holders.h"

#include <cstring>
#include <new>

bool HeapBuffer::allocate(uint32_t bytes) {
    if (!allocateUninitialised(bytes)) return false;
    std::memset(data, 0, bytes == 0 ? 1 : bytes);
    return true;
}

bool HeapBuffer::allocateUninitialised(uint32_t bytes) {
    release();
    // At least one byte, so that an empty buffer is still a valid pointer.
    data = new (std::nothrow) unsigned char[bytes == 0 ? 1 : bytes];
    if (data == nullptr) return false;
    size = bytes;
    return true;
}
