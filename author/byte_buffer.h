// Growable and fixed heap storage for the encoders. An allocation that the
// heap refuses is remembered and reported, never thrown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace author {

class ByteBuffer {
public:
    ByteBuffer() = default;
    ~ByteBuffer();
    ByteBuffer(ByteBuffer&& other) noexcept;
    ByteBuffer& operator=(ByteBuffer&& other) noexcept;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    const uint8_t* data() const { return data_; }
    uint8_t* data() { return data_; }
    size_t size() const { return size_; }
    // True once any growth was refused; the contents are then incomplete.
    bool failed() const { return failed_; }

    bool reserve(size_t capacity);
    bool append(const void* bytes, size_t count);
    bool push(uint8_t value) { return append(&value, 1); }
    bool pushLe16(uint16_t value);
    bool pushLe32(uint32_t value);
    // Grows with zero bytes, or shrinks.
    bool resize(size_t size);
    // Overwrites bytes already present; false when they lie beyond the end.
    bool putLe16(size_t offset, uint16_t value);
    bool putLe32(size_t offset, uint32_t value);

private:
    bool grow(size_t needed);
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    bool failed_ = false;
};

// `count` elements from the heap, value-initialised; null when refused.
template <typename T>
class HeapArray {
public:
    explicit HeapArray(size_t count) : data_(count == 0 ? nullptr : new (std::nothrow) T[count]()), count_(count) {}
    ~HeapArray() { delete[] data_; }
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;

    bool valid() const { return data_ != nullptr || count_ == 0; }
    T* get() { return data_; }
    const T* get() const { return data_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }
    size_t size() const { return count_; }

private:
    T* data_;
    size_t count_;
};

}  // namespace author
