// A read-only view of bytes held elsewhere: a file's contents as supplied, or
// one stream inside them.
#pragma once

#include <cstdint>

namespace torva {

struct ByteSpan {
    const unsigned char* data;
    uint32_t size;

    // True when [offset, offset + length) lies inside the span.
    bool holds(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
    // The bytes from `offset` to the end; empty when the offset lies past it.
    ByteSpan from(uint32_t offset) const {
        return offset <= size ? ByteSpan{data + offset, size - offset} : ByteSpan{data + size, 0};
    }
    // The first `length` bytes, or all of them when there are fewer.
    ByteSpan first(uint32_t length) const { return ByteSpan{data, length < size ? length : size}; }
};

}  // namespace torva
