#include "author/byte_buffer.h"

#include <cstring>

namespace author {

ByteBuffer::~ByteBuffer() { delete[] data_; }

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : data_(other.data_), size_(other.size_), capacity_(other.capacity_), failed_(other.failed_) {
    other.data_ = nullptr;
    other.size_ = other.capacity_ = 0;
    other.failed_ = false;
}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
    if (this != &other) {
        delete[] data_;
        data_ = other.data_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        failed_ = other.failed_;
        other.data_ = nullptr;
        other.size_ = other.capacity_ = 0;
        other.failed_ = false;
    }
    return *this;
}

bool ByteBuffer::reserve(size_t capacity) {
    if (capacity <= capacity_) return true;
    uint8_t* grown = new (std::nothrow) uint8_t[capacity];
    if (grown == nullptr) {
        failed_ = true;
        return false;
    }
    if (size_ > 0) std::memcpy(grown, data_, size_);
    delete[] data_;
    data_ = grown;
    capacity_ = capacity;
    return true;
}

bool ByteBuffer::grow(size_t needed) {
    if (failed_) return false;
    if (needed < size_) {  // the sum wrapped
        failed_ = true;
        return false;
    }
    if (needed <= capacity_) return true;
    size_t capacity = capacity_ < 64 ? 64 : capacity_;
    while (capacity < needed) {
        if (capacity > SIZE_MAX / 2) {
            capacity = needed;
            break;
        }
        capacity *= 2;
    }
    return reserve(capacity);
}

bool ByteBuffer::append(const void* bytes, size_t count) {
    if (count == 0) return !failed_;
    if (!grow(size_ + count)) return false;
    std::memcpy(data_ + size_, bytes, count);
    size_ += count;
    return true;
}

bool ByteBuffer::pushLe16(uint16_t value) {
    const uint8_t bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
    return append(bytes, 2);
}

bool ByteBuffer::pushLe32(uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return append(bytes, 4);
}

bool ByteBuffer::resize(size_t size) {
    if (size > size_) {
        if (!grow(size)) return false;
        std::memset(data_ + size_, 0, size - size_);
    }
    size_ = size;
    return !failed_;
}

bool ByteBuffer::putLe16(size_t offset, uint16_t value) {
    if (offset > size_ || size_ - offset < 2) return false;
    data_[offset] = uint8_t(value);
    data_[offset + 1] = uint8_t(value >> 8);
    return true;
}

bool ByteBuffer::putLe32(size_t offset, uint32_t value) {
    if (offset > size_ || size_ - offset < 4) return false;
    for (int i = 0; i < 4; ++i) data_[offset + i] = uint8_t(value >> (8 * i));
    return true;
}

}  // namespace author
